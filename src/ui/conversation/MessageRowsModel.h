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
        HasThinkingRole,
        ThinkingRole,           // the model's thinking, plain text
        ThinkingLabelRole,      // "Thinking…", "Thought for N seconds", "Stopped while thinking"
        ThinkingActiveRole,     // the thinking is streaming now
        ThinkingUnfoldedRole,   // settable; remembered per message while the app runs
        UsageTextRole,          // "1,234 tokens · 56 tokens/s", or empty
    };
    Q_ENUM(Role)

    MessageRowsModel(MessageListModel* messages, ConversationController* controller, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;
    MessageListModel* messages() const { return m_messages; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    void functionStateChanged(const void* message);

    MessageListModel* m_messages;
    QPointer<ConversationController> m_controller;
};
