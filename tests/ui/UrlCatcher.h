#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace qx::test {

// Receives the URLs handed to the default browser, once registered as the
// desktop's URL handler for a scheme.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

}  // namespace qx::test
