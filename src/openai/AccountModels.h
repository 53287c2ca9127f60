#pragma once

#include "core/Endpoints.h"
#include "openai/ServerModels.h"

#include <QList>
#include <QObject>
#include <QTimer>

// The models the server in use lists for the stored key, read in the
// background; once the application follows the settings, also whenever the
// key, the organisation key or the server address changes. Lives on the UI thread; until an answer arrives (or
// when the server cannot be reached) the list is empty and only the built-in
// models are offered.
class AccountModels : public QObject {
    Q_OBJECT
public:
    static AccountModels& instance();

    const QList<ServerModel>& models() const { return m_models; }
    // Whether the list came from OpenAI's own server (which lists more than chat models).
    bool fromOpenAiServer() const { return m_fromOpenAiServer; }
    bool isListed(const QString& modelId) const;

    // Starts a read now; an answer to an earlier read that comes later is dropped.
    void refresh();
    // Reads now, and again shortly after the key, the organisation key or the
    // server address has changed. Once per process (the application's start).
    void followSettings();

Q_SIGNALS:
    void modelsChanged();
    void refreshFinished();

private:
    AccountModels();
    void apply(quint64 generation, bool answered, const QList<ServerModel>& models,
               const Endpoints::OpenAiServer& server);

    QList<ServerModel> m_models;
    bool m_fromOpenAiServer = true;
    QUrl m_listBase;
    bool m_following = false;
    quint64 m_generation = 0;
    QTimer m_settleTimer; // typing a key or an address changes the setting per keystroke
};
