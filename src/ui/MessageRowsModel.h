#pragma once

#include <QPointer>
#include <QSortFilterProxyModel>

class ConversationController;
class MessageListModel;

// The rows of the message list: every message of the conversation but the
// system prompt, oldest first, with what a bubble and its function-call block
// show. Changes arrive row by row from the live message list, so a streamed
// piece redraws one bubble.
class MessageRowsModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum Role {
        TextRole = Qt::UserRole + 200,
        IsOwnRole,
        ShowsPlaceholderRole,  // an assistant reply waiting for its first piece: "..."
        BubblelessRole,        // a function call without text: only its block shows
        HasFunctionRole,
        FunctionPreviewRole,
        FunctionTitleRole,     // the matched function's human-readable name
        FunctionIsAutomaticRole,
        FunctionRunningRole,
        AwaitsConfirmationRole,
        FunctionResultTextRole, // the fenced "Result:" block, or empty
        FunctionCommandRole,    // what a confirmed run executes, control characters shown visibly
    };
    Q_ENUM(Role)

    MessageRowsModel(MessageListModel* messages, ConversationController* controller, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    MessageListModel* messages() const { return m_messages; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    void functionStateChanged(const void* message);

    MessageListModel* m_messages;
    QPointer<ConversationController> m_controller;
};
