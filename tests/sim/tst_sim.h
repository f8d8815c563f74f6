#pragma once
// Tests of tools/mbus-sim: the pure bus (respond, collisions, selection,
// addressing, lost answers, the master's writes), the secondary search over
// generated meters, the bus file parser, the framer, the gateway telegram, and
// the real program behind a pseudo-terminal, a TCP port and as a gateway.

#include <QObject>

class TestSim : public QObject {
    Q_OBJECT
private slots:
    // tst_respond.cpp
    void respond_data();
    void respond();
    void broadcastReadCollides();
    void collide_data();
    void collide();
    void secondarySearchNarrowsDown();
    void garbageNeverAnswered();
    void collisionNeverChecksOut();

    // tst_addressing.cpp
    void busScenarios_data();
    void busScenarios();
    void primaryAddressesReachOwnersOnly_data();
    void primaryAddressesReachOwnersOnly();

    // tst_search.cpp
    void secondaryWalk_data();
    void secondaryWalk();
    void generatedMeters_data();
    void generatedMeters();

    // tst_writes.cpp
    void masterWrites_data();
    void masterWrites();
    void selectedMeterTakesEveryWrite();

    // tst_busfile.cpp
    void busFileErrors_data();
    void busFileErrors();
    void busFileValues();
    void rawMeterTakesHeader();
    void demoBusIsValid();
    void demoBusScan();
    void records_data();
    void records();

    // tst_framer.cpp
    void framer_data();
    void framer();
    void framerDropsPartialOnIdle();
    void framerRandomBytes();

    // tst_process.cpp
    void ptyExchange();
    void tcpExchange();
    void tcpSecondClientWaits();
    void tcpHangup();
    void badBusFileExitsWithTwo();
    void randomMetersProcess();

    // tst_gateway.cpp
    void gatewayRequestExample();
    void gatewayRequestErrors_data();
    void gatewayRequestErrors();
    void gatewayPayloadLengths_data();
    void gatewayPayloadLengths();
    void gatewayReplyLayout_data();
    void gatewayReplyLayout();
    void gatewayAssembler_data();
    void gatewayAssembler();
    void gatewayExchanges_data();
    void gatewayExchanges();
    void gatewayHooks();
    void gatewayDamage_data();
    void gatewayDamage();
    void gatewayRandomBytes();
    void gatewayNetworkNumber_data();
    void gatewayNetworkNumber();

    // tst_telegrams.cpp
    void multiTelegramSequence_data();
    void multiTelegramSequence();
    void repeatedTelegramIsIdentical();
    void endlessMeterAlwaysAnnouncesMore();
    void telegramsKey_data();
    void telegramsKey();

    // tst_gatewayprocess.cpp
    void gatewayServerExchange();
    void gatewayServerFaults_data();
    void gatewayServerFaults();
    void gatewayConnectGreetsAndReconnects();
    void gatewayConnectEndsWithConnection();
    void gatewayCommandLine_data();
    void gatewayCommandLine();
};
