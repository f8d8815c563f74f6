#include "mqtt_link.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <mosquitto.h>

namespace collect {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kMaxInflight = 200;
constexpr int kLongestRetrySeconds = 30;
constexpr int kFirstAnswerSeconds = 10;
constexpr int kDisconnectWaitMs = 500;

} // namespace

MqttLink::MqttLink(const MqttConfig &config, const QString &availabilityTopic, QObject *parent)
    : QObject(parent), m_config(config), m_availability(availabilityTopic)
{}

MqttLink::~MqttLink()
{
    stop(0);
}

QString MqttLink::brokerName() const
{
    return QStringLiteral("%1:%2").arg(m_config.host).arg(m_config.port);
}

bool MqttLink::start(QString *error)
{
    m_client = mosquitto_new(m_config.clientId.toUtf8().constData(), true, this);
    const auto failed = [&](int rc) {
        *error = QString::fromUtf8(mosquitto_strerror(rc));
        return false;
    };
    if (!m_client)
        return failed(MOSQ_ERR_NOMEM);
    mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(m_client, kMaxInflight);
    mosquitto_reconnect_delay_set(m_client, 1, 30, true);
    mosquitto_connect_callback_set(m_client, onConnect);
    mosquitto_disconnect_callback_set(m_client, onDisconnect);
    mosquitto_publish_callback_set(m_client, onPublish);
    mosquitto_log_callback_set(m_client, onLog);
    const QByteArray will = m_availability.toUtf8();
    if (int rc = mosquitto_will_set(m_client, will.constData(), 7, "offline", 1, true); rc != MOSQ_ERR_SUCCESS)
        return failed(rc);
    if (!m_config.user.isEmpty()) {
        const QByteArray user = m_config.user.toUtf8(), password = m_config.password.toUtf8();
        mosquitto_username_pw_set(m_client, user.constData(),
                                  m_config.password.isEmpty() ? nullptr : password.constData());
    }
    if (m_config.tls) {
        const QByteArray caFile = m_config.caFile.toUtf8();
        const int rc = mosquitto_tls_set(m_client, caFile.isEmpty() ? nullptr : caFile.constData(),
                                         caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return failed(rc);
    }
    connectFirst();
    // A connection that fails inside its handshake (TLS, a port that is no
    // broker) calls back nothing: said here, with the library's last error.
    QTimer::singleShot(kFirstAnswerSeconds * 1000, this, [this] {
        if (!m_connected && !m_saidAway)
            setConnected(false,
                         lastError().isEmpty() ? tr("no answer within %1 s").arg(kFirstAnswerSeconds) : lastError());
    });
    return true;
}

QString MqttLink::lastError() const
{
    const std::lock_guard lock(m_errorMutex);
    return m_lastError;
}

void MqttLink::onLog(mosquitto *, void *self, int level, const char *text)
{
    if (!(level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) || !text)
        return;
    auto *link = static_cast<MqttLink *>(self);
    const std::lock_guard lock(link->m_errorMutex);
    link->m_lastError = QString::fromUtf8(text);
}

// Until the first connection is made, it is tried here; from then on
// libmosquitto's thread reconnects on its own.
void MqttLink::connectFirst()
{
    if (!m_client || m_looping)
        return;
    const int rc = mosquitto_connect_async(m_client, m_config.host.toUtf8().constData(), m_config.port,
                                           kKeepAliveSeconds);
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_loop_start(m_client) == MOSQ_ERR_SUCCESS) {
        m_looping = true;
        return;
    }
    const QString reason = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                                : QString::fromUtf8(mosquitto_strerror(rc));
    setConnected(false, reason);
    m_retry = std::min(std::max(m_retry * 2, 1), kLongestRetrySeconds);
    QTimer::singleShot(std::chrono::seconds(m_retry), this, &MqttLink::connectFirst);
}

int MqttLink::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_client || !m_connected)
        return -1;
    int mid = 0;
    const QByteArray name = topic.toUtf8();
    ++m_unacknowledged;
    if (mosquitto_publish(m_client, &mid, name.constData(), int(payload.size()), payload.constData(), 1, retain)
        != MOSQ_ERR_SUCCESS) {
        --m_unacknowledged;
        return -1;
    }
    return mid;
}

void MqttLink::stop(int waitMs)
{
    if (!m_client)
        return;
    if (m_connected) {
        const QByteArray topic = m_availability.toUtf8();
        int mid = 0;
        ++m_unacknowledged;
        if (mosquitto_publish(m_client, &mid, topic.constData(), 7, "offline", 1, true) != MOSQ_ERR_SUCCESS)
            --m_unacknowledged;
        QElapsedTimer waited;
        waited.start();
        while (m_unacknowledged > 0 && waited.elapsed() < waitMs)
            QThread::msleep(10);
    }
    // DISCONNECT goes out from the network thread: awaited (briefly), so
    // that the broker drops the last will instead of saying "offline" again.
    m_disconnected = !m_connected;
    if (mosquitto_disconnect(m_client) == MOSQ_ERR_SUCCESS && m_looping) {
        QElapsedTimer waited;
        waited.start();
        while (!m_disconnected && waited.elapsed() < kDisconnectWaitMs)
            QThread::msleep(5);
    }
    if (m_looping)
        mosquitto_loop_stop(m_client, true);
    m_looping = false;
    mosquitto_destroy(m_client);
    m_client = nullptr;
    m_connected = false;
}

void MqttLink::setConnected(bool connected, const QString &reason)
{
    if (connected == m_connected && (connected || m_saidAway))
        return;
    m_saidAway = !connected;
    m_connected = connected;
    emit connectedChanged(connected, reason);
}

// The callbacks run on libmosquitto's thread: they only hand over.
void MqttLink::onConnect(mosquitto *client, void *self, int rc)
{
    auto *link = static_cast<MqttLink *>(self);
    if (rc == 0) {
        const QByteArray topic = link->m_availability.toUtf8();
        mosquitto_publish(client, nullptr, topic.constData(), 6, "online", 1, true);
    }
    const QString reason = rc == 0 ? QString() : QString::fromUtf8(mosquitto_connack_string(rc));
    QMetaObject::invokeMethod(
        link, [link, rc, reason] { link->setConnected(rc == 0, reason); }, Qt::QueuedConnection);
}

void MqttLink::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *link = static_cast<MqttLink *>(self);
    link->m_unacknowledged = 0;
    link->m_disconnected = true;
    // The library has no words of its own for a broker that stopped answering.
    const QString reason = rc == MOSQ_ERR_KEEPALIVE ? tr("no answer within %1 s").arg(kKeepAliveSeconds * 3 / 2)
                                                    : QString::fromUtf8(mosquitto_strerror(rc));
    QMetaObject::invokeMethod(
        link, [link, reason] { link->setConnected(false, reason); }, Qt::QueuedConnection);
}

void MqttLink::onPublish(mosquitto *, void *self, int mid)
{
    auto *link = static_cast<MqttLink *>(self);
    if (link->m_unacknowledged > 0)
        --link->m_unacknowledged;
    QMetaObject::invokeMethod(
        link, [link, mid] { emit link->delivered(mid); }, Qt::QueuedConnection);
}

} // namespace collect
