#pragma once

#include <QString>

// Splits a reply's streamed text into thinking and answer where the server
// writes the thinking inline, as "<think>…</think>" at the start of the text.
// A tag may be cut across two pieces: text that could begin one is held back
// until the next piece (or finish()). Some models leave out the opening tag;
// then the text is taken for the answer until a closing tag shows it was
// thinking, unless the answer had opened code or named a tag before it. After
// the thinking, tags are text like any other.
class ReasoningSplitter {
public:
    struct Piece {
        QString reasoning;
        QString answer;
        // Everything given out as answer before this piece was thinking.
        bool earlierAnswerIsReasoning = false;
    };

    Piece feed(const QString& text);
    // What is still held back, once the reply has ended.
    Piece finish();

private:
    enum class State { Start, Thinking, Undecided, AfterThinking, Plain };
    void take(Piece& piece, const QString& text);
    void giveReasoning(Piece& piece, QStringView text);
    void giveAnswer(Piece& piece, QStringView text);

    State m_state = State::Start;
    QString m_pending; // held back: it may be the start of a tag
    bool m_reasoningStarted = false;
    QString m_answerTail;         // the last characters given out as answer
    bool m_answerHasCode = false; // a code fence among them
};
