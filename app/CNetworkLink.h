#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace qx {

// The internet connection as the File menu's Connect and Disconnect see it.
// Reachability comes from QNetworkInformation (or the network interfaces when
// no backend is available); bringing the network up and hanging up a dial-up
// or mobile line go through NetworkManager's nmcli where it exists.
class CNetworkLink {
public:
    static bool IsConnected();
    // Asks NetworkManager to bring networking up; nothing when nmcli is absent.
    static void Dial();
    // Takes down the active dial-up or mobile connections, and nothing else.
    // Returns at once; nmcli's answer is handled by the event loop.
    static void HangUp();

    // Names of the dial-up or mobile connections in the output of
    // `nmcli -t -f NAME,TYPE connection show --active`.
    static QStringList DialUpConnections(const QString& nmcliOutput);

    // Tests replace the reachability probe; an empty function restores it.
    static void SetConnectedProbe(std::function<bool()> probe);
};

}  // namespace qx
