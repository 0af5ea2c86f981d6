#include "app/CNetworkLink.h"

#include <QCoreApplication>
#include <QNetworkInformation>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace qx {

namespace {

constexpr int kListTimeoutMs = 10000;

std::function<bool()>& Probe() {
    static std::function<bool()> probe;
    return probe;
}

bool AnyInterfaceUp() {
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) &&
            flags.testFlag(QNetworkInterface::IsRunning) &&
            !flags.testFlag(QNetworkInterface::IsLoopBack) &&
            !interface.addressEntries().isEmpty()) {
            return true;
        }
    }
    return false;
}

QString Nmcli() {
    return QStandardPaths::findExecutable(QStringLiteral("nmcli"));
}

// Splits one line of nmcli's terse output, where ':' separates the fields
// and "\:" and "\\" stand for themselves inside a field.
QStringList TerseFields(const QString& line) {
    QStringList fields;
    QString field;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            field.append(line[++i]);
        } else if (c == QLatin1Char(':')) {
            fields.append(field);
            field.clear();
        } else {
            field.append(c);
        }
    }
    fields.append(field);
    return fields;
}

}  // namespace

bool CNetworkLink::IsConnected() {
    if (Probe()) {
        return Probe()();
    }
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        const auto reachability = QNetworkInformation::instance()->reachability();
        if (reachability != QNetworkInformation::Reachability::Unknown) {
            return reachability == QNetworkInformation::Reachability::Online;
        }
    }
    return AnyInterfaceUp();
}

void CNetworkLink::Dial() {
    const QString nmcli = Nmcli();
    if (!nmcli.isEmpty()) {
        QProcess::startDetached(nmcli, {QStringLiteral("networking"), QStringLiteral("on")});
    }
}

void CNetworkLink::HangUp() {
    const QString nmcli = Nmcli();
    if (nmcli.isEmpty()) {
        return;
    }
    // nmcli can take seconds to answer; the window must not freeze meanwhile,
    // so the lines are taken down when the list arrives.
    auto* list = new QProcess(QCoreApplication::instance());
    QObject::connect(
        list, &QProcess::finished, list, [list, nmcli](int exitCode, QProcess::ExitStatus status) {
            list->deleteLater();
            if (status != QProcess::NormalExit || exitCode != 0) {
                return;
            }
            const QString output = QString::fromLocal8Bit(list->readAllStandardOutput());
            for (const QString& name : DialUpConnections(output)) {
                QProcess::startDetached(nmcli,
                                        {QStringLiteral("connection"), QStringLiteral("down"),
                                         QStringLiteral("id"), name});
            }
        });
    QObject::connect(list, &QProcess::errorOccurred, list, [list](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            list->deleteLater();
        }
    });
    // One that never answers is ended, and nothing is taken down.
    QTimer::singleShot(kListTimeoutMs, list, [list] { list->kill(); });
    list->start(nmcli,
                {QStringLiteral("-t"), QStringLiteral("-f"), QStringLiteral("NAME,TYPE"),
                 QStringLiteral("connection"), QStringLiteral("show"), QStringLiteral("--active")});
}

QStringList CNetworkLink::DialUpConnections(const QString& nmcliOutput) {
    static const QStringList kDialUpTypes = {QStringLiteral("gsm"), QStringLiteral("cdma"),
                                             QStringLiteral("ppp")};
    QStringList names;
    for (const QString& line : nmcliOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = TerseFields(line.trimmed());
        if (fields.size() >= 2 && !fields[0].isEmpty() &&
            kDialUpTypes.contains(fields.last().trimmed())) {
            names.append(fields[0]);
        }
    }
    return names;
}

void CNetworkLink::SetConnectedProbe(std::function<bool()> probe) {
    Probe() = std::move(probe);
}

}  // namespace qx
