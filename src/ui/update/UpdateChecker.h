#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "app/ProgramVersion.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace kv::ui {

// Asks an address for the latest version of the program, in the background: the request runs in
// the network layer while the window goes on. Answered carries the version, or nothing when there
// is no address, no answer within the time limit, or an answer that is not a version.
class UpdateChecker final : public QObject {
    Q_OBJECT
public:
    explicit UpdateChecker(QString address, QObject* parent = nullptr);
    ~UpdateChecker() override;

    void Check();
    bool IsChecking() const { return reply_ != nullptr; }

signals:
    void Answered(std::optional<kv::ProgramVersion> latest);

private:
    QString address_;
    QNetworkAccessManager* network_ = nullptr;
    QNetworkReply* reply_ = nullptr;
};

}  // namespace kv::ui
