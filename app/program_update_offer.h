#pragma once

#include <QObject>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// At start the update server's version file is fetched in the background; when it names a
// newer program, the user is offered its download once the window is idle: a box in the
// middle of a transfer would hold the pedal until the user answers.
class CProgramUpdateOffer : public QObject {
    Q_OBJECT

public:
    // `idle` tells whether the window runs no command now.
    CProgramUpdateOffer(std::function<bool()> idle, QObject* parent);

private:
    void on_finished(QNetworkReply* reply);
    void offer(float newest);

    std::function<bool()> m_idle;
    QNetworkAccessManager* m_network = nullptr;
};
