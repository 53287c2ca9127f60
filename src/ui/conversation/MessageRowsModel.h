#pragma once

#include "store/ListModels.h"

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class ConversationController;

// The rows of the message list: every message of the conversation but the
// system prompt, oldest first, with what a bubble and its function-call block
// show. A changed message is announced once a frame however many pieces came
// in it, naming only the roles whose values changed: a streamed piece
// changes the text, and so the view lays the bubble out once a frame.
class MessageRowsModel : public MessageListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A conversation's view makes its own")
public:
    enum Role {
        TextRole = Qt::UserRole + 200,
        IsOwnRole,
        ShowsPlaceholderRole, // an assistant reply waiting for its first piece: "..."
        KindRole,             // a Kind
        HasFunctionRole,
        FunctionPreviewRole,
        FunctionTitleRole, // the matched function's human-readable name
        FunctionIsAutomaticRole,
        FunctionRunningRole,
        AwaitsConfirmationRole,
        FunctionResultTextRole, // the fenced "Result:" block, or empty
        FunctionCommandRole,    // what a confirmed run executes, control characters shown visibly
        HasThinkingRole,
        ThinkingRole,         // the model's thinking, plain text
        ThinkingLabelRole,    // "Thinking…", "Thought for N seconds", "Stopped while thinking"
        ThinkingActiveRole,   // the thinking is streaming now
        ThinkingUnfoldedRole, // settable; remembered per message while the app runs
        UsageTextRole,        // "1,234 tokens · 56 tokens/s", or empty
        RenderingRole,        // MessageFormatting::Rendering of the text
        AccessibleTextRole,   // the text for a screen reader: its start, so a streaming reply stops changing it
    };
    Q_ENUM(Role)

    // What a row shows: the user's prompt, a reply in a bubble, or a function
    // call without text or thinking, which shows only its block.
    enum class Kind { Prompt, Reply, FunctionCall };
    Q_ENUM(Kind)

    static constexpr qsizetype maxAccessibleTextLength = 1000;

    MessageRowsModel(StoreContext& context, const ConversationPtr& conversation, ConversationController* controller,
                     QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

protected:
    void recordUpdated(int row) override;

private:
    void announceChanges();
    QVariantList valuesAt(int row) const;

    QPointer<ConversationController> m_controller;
    QList<int> m_roles; // every role, in order, as valuesAt lists them
    QTimer m_announce;
    QList<MessagePtr> m_changed;                 // announced at the next turn of the event loop
    QHash<const Message*, QVariantList> m_shown; // the values last announced, by message
};
