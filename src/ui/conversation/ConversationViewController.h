#pragma once

#include "store/Records.h"

#include <QAbstractItemModel>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class ConversationController;
class ConversationControllerRegistry;
class MessageRowsModel;
class StoreContext;
class UiState;

// What the conversation view of one window binds to: the message rows of the
// selected conversation and the actions on it. The turns themselves belong to
// the conversation's controller, shared by every window.
class ConversationViewController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Each main window owns one")
    Q_PROPERTY(QAbstractItemModel* messages READ messages NOTIFY conversationChanged)
    Q_PROPERTY(bool streaming READ streaming NOTIFY streamingChanged)
    // The newest reply (or the failed turn) may be asked for again, and what
    // its button says: "Regenerate" or, after a failure notice, "Retry".
    Q_PROPERTY(bool canRegenerate READ canRegenerate NOTIFY actionsChanged)
    Q_PROPERTY(QString regenerateLabel READ regenerateLabel NOTIFY actionsChanged)
    // The row of the own message being edited in the prompt field, or -1.
    Q_PROPERTY(int editingRow READ editingRow NOTIFY editingChanged)
    Q_PROPERTY(bool functionRunning READ functionRunning NOTIFY functionRunningChanged)
    // The name of the assistant the conversation is with ("Unknown" without one).
    Q_PROPERTY(QString assistantName READ assistantName NOTIFY conversationChanged)
    // What was typed and not sent in this conversation; kept while the app runs.
    Q_PROPERTY(QString draft READ draft WRITE setDraft NOTIFY conversationChanged)
public:
    ConversationViewController(StoreContext& store, ConversationControllerRegistry& controllers, UiState& uiState,
                               QObject* parent = nullptr);
    ~ConversationViewController() override;

    // Shows this conversation (none: nothing). Function calls left waiting to
    // run by themselves, say after a restart during a run, start now.
    void show(const ConversationPtr& conversation);
    const ConversationPtr& conversation() const { return m_conversation; }

    QAbstractItemModel* messages() const;
    bool streaming() const;
    bool canRegenerate() const { return m_canRegenerate; }
    const QString& regenerateLabel() const { return m_regenerateLabel; }
    int editingRow() const;
    // Scrolls to the message once its rows are shown, with the search text to mark.
    void reveal(const MessagePtr& message, const QString& searchText);
    bool functionRunning() const;
    QString assistantName() const;
    static QString assistantNameOf(const ConversationPtr& conversation);
    QString draft() const;
    void setDraft(const QString& text);

    Q_INVOKABLE void submit(const QString& prompt);
    // Stops the replies streaming and the functions running in this conversation.
    Q_INVOKABLE void stop();
    Q_INVOKABLE void runFunction(int row);
    Q_INVOKABLE void regenerate();
    // Starts editing an own message and returns its text, which editStarted
    // hands to the prompt field; nothing changes in the store until the edit
    // is submitted. Empty, editing nothing, for any other row or while a
    // reply streams.
    Q_INVOKABLE QString beginEdit(int row);
    Q_INVOKABLE QString beginEditNewest();
    Q_INVOKABLE void cancelEdit();
    // The trash button: the selection is cleared first, then the conversation goes.
    Q_INVOKABLE void deleteConversation();

Q_SIGNALS:
    void conversationChanged();
    void streamingChanged();
    void functionRunningChanged();
    void promptSubmitted();
    void actionsChanged();
    void editingChanged();
    void revealRequested(int row, const QString& searchText);
    // The prompt field takes this text to edit.
    void editStarted(const QString& text);

private:
    void updateActions();

    StoreContext& m_store;
    ConversationControllerRegistry& m_controllers;
    UiState& m_uiState;
    ConversationPtr m_conversation;
    QPointer<ConversationController> m_controller;
    MessageRowsModel* m_rows = nullptr;
    MessagePtr m_editing;
    bool m_canRegenerate = false;
    QString m_regenerateLabel = tr("Regenerate");
};
