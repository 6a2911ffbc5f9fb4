#include "ui/update/UpdateChecker.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "app/DesktopSettings.h"

namespace kv::ui {

namespace {
constexpr int kTimeLimitMs = 10000;
// A version number is a few bytes; anything much longer is not one.
constexpr qint64 kLongestAnswer = 256;
}  // namespace

UpdateChecker::UpdateChecker(QString address, QObject* parent) : QObject(parent), address_(std::move(address)) {}

UpdateChecker::~UpdateChecker() {
    if (reply_) reply_->abort();
}

void UpdateChecker::Check() {
    if (reply_) return;
    const QUrl url(address_, QUrl::StrictMode);
    if (address_.isEmpty() || !url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
        QMetaObject::invokeMethod(this, [this] { emit Answered(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    if (!network_) network_ = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeLimitMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::finished, this, [this] {
        QNetworkReply* reply = std::exchange(reply_, nullptr);
        reply->deleteLater();
        std::optional<ProgramVersion> latest;
        if (reply->error() == QNetworkReply::NoError) latest = ParseVersionText(reply->read(kLongestAnswer).toStdString());
        emit Answered(latest);
    });
}

}  // namespace kv::ui
