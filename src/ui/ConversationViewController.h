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
    bool functionRunning() const;
    QString assistantName() const;
    static QString assistantNameOf(const ConversationPtr& conversation);
    QString draft() const;
    void setDraft(const QString& text);

    Q_INVOKABLE void submit(const QString& prompt);
    // Stops the replies streaming and the functions running in this conversation.
    Q_INVOKABLE void stop();
    Q_INVOKABLE void runFunction(int row);
    // The trash button: the selection is cleared first, then the conversation goes.
    Q_INVOKABLE void deleteConversation();

Q_SIGNALS:
    void conversationChanged();
    void streamingChanged();
    void functionRunningChanged();
    void promptSubmitted();

private:
    StoreContext& m_store;
    ConversationControllerRegistry& m_controllers;
    UiState& m_uiState;
    ConversationPtr m_conversation;
    QPointer<ConversationController> m_controller;
    MessageRowsModel* m_rows = nullptr;
};
