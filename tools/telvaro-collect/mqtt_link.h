#pragma once
// The connection to the MQTT broker, through libmosquitto on its own network
// thread: connects and reconnects on its own, with a last will that marks
// the station offline. What the thread reports comes back as signals on the
// owner's thread.

#include "collect_config.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

struct mosquitto;

namespace collect {

class MqttLink : public QObject {
    Q_OBJECT
public:
    // availabilityTopic gets "online" (retained) at every connection, and
    // "offline" by the will or at stop().
    MqttLink(const MqttConfig &config, const QString &availabilityTopic, QObject *parent = nullptr);
    ~MqttLink() override;

    // Starts connecting; false (and why) when the client cannot be set up.
    bool start(QString *error);
    bool connected() const { return m_connected; }
    // Queues a QoS 1 message; the message id, or -1 when it could not be queued.
    int publish(const QString &topic, const QByteArray &payload, bool retain);
    // Says "offline", waits at most `waitMs` for the messages under way, and disconnects.
    void stop(int waitMs);
    QString brokerName() const;

signals:
    void connectedChanged(bool connected, const QString &reason);
    void delivered(int messageId);

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onLog(mosquitto *, void *self, int level, const char *text);
    QString lastError() const;
    void setConnected(bool connected, const QString &reason);
    void connectFirst();

    MqttConfig m_config;
    QString m_availability;
    mosquitto *m_client = nullptr;
    bool m_connected = false; // the owner's view
    bool m_looping = false;
    bool m_saidAway = false;
    int m_retry = 0; // seconds until the next first try
    std::atomic<int> m_unacknowledged{0};
    std::atomic<bool> m_disconnected{false};
    mutable std::mutex m_errorMutex;
    QString m_lastError; // the library's last error or warning, from its thread
};

} // namespace collect
