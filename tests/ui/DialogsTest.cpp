#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>

#include "UiTestSupport.h"
#include "base/CommandIds.h"
#include "app/PresetPicker.h"
#include "app/SettingsFile.h"
#include "ui/dialogs/GadgetDlg.h"
#include "ui/dialogs/ImageInfoDlg.h"
#include "ui/update/UpdateChecker.h"

namespace kv::test {
namespace {

TEST(ImageInfoDialog, ShowsTheFileItsSizeColoursAndCameraDetails) {
    ui::CJFIFDlg dialog(ui::ReadImageDetails(DataPath("Canon_40D.jpg")));
    const auto labels = dialog.findChildren<QLabel*>();
    const auto text = [&](const char* name) {
        for (QLabel* label : labels)
            if (label->accessibleName() == name) return label->text();
        return QString();
    };
    EXPECT_EQ(text("Dimensions"), "100 X 68");
    EXPECT_EQ(text("Colors"), "16,777,216");
    QTableWidget& details = dialog.Details();
    ASSERT_GT(details.rowCount(), 5);
    EXPECT_EQ(details.item(0, 0)->text(), "Manufacturer");
    EXPECT_EQ(details.item(0, 1)->text(), "Canon");
    EXPECT_TRUE(details.isEnabled());

    // Rows are chosen whole and copied as name and value lines.
    details.selectRow(0);
    details.setFocus();
    QTest::keyClick(&details, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Manufacturer\tCanon");
}

TEST(ImageInfoDialog, AFileWithoutDetailsOrOneThatDoesNotOpenHasADisabledList) {
    TempDir dir;
    WriteBytes(dir / "broken.jpg", {0xFF, 0xD8, 0x00});
    ui::CJFIFDlg dialog(ui::ReadImageDetails(dir / "broken.jpg"));
    EXPECT_FALSE(dialog.Details().isEnabled());
    EXPECT_EQ(dialog.Details().rowCount(), 0);
}

TEST(PresetDialog, SavesUnderANameAndAsksBeforeOverwriting) {
    TempDir dir;
    RecordingUserPrompt prompt(/*answer=*/false);
    {
        PresetPicker picker("Save settings", dir / "Settings", "qzr", PresetPickerMode::Save, prompt);
        ASSERT_TRUE(picker.Open());
        ui::CGadgetDlg dialog(picker);
        EXPECT_EQ(dialog.windowTitle(), "Save settings");
        QTest::keyClicks(&dialog.NameBox(), "Poster");
        dialog.Ok();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        ASSERT_TRUE(SaveSettingsFile(picker.chosenPath(), ResizeSettings{}, prompt));
    }
    PresetPicker picker("Save settings", dir / "Settings", "qzr", PresetPickerMode::Save, prompt);
    ASSERT_TRUE(picker.Open());
    ui::CGadgetDlg dialog(picker);
    ASSERT_EQ(dialog.List().count(), 1);
    dialog.List().setCurrentRow(0);
    EXPECT_EQ(dialog.NameBox().text(), "Poster");
    dialog.Ok();  // "No" to overwriting keeps the dialog open
    EXPECT_EQ(prompt.questions.size(), 1u);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

// A one-shot web server on the loopback address that answers every request with a text.
class VersionServer {
public:
    explicit VersionServer(QByteArray body) : body_(std::move(body)) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                              QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_);
                socket->disconnectFromHost();
            });
        });
    }
    QString Address() const { return QStringLiteral("http://127.0.0.1:%1/latest.txt").arg(server_.serverPort()); }

private:
    QTcpServer server_;
    QByteArray body_;
};

TEST(UpdateCheck, AnswersFromTheServerOrSaysNothingIsKnown) {
    const auto ask = [](const QString& address) -> std::optional<std::optional<ProgramVersion>> {
        ui::UpdateChecker checker(address);
        QSignalSpy answered(&checker, &ui::UpdateChecker::Answered);
        checker.Check();
        if (!answered.wait(15000)) return std::nullopt;
        return answered.at(0).at(0).value<std::optional<ProgramVersion>>();
    };
    // No address: answered at once, without a request.
    const auto none = ask(QString());
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);

    VersionServer server("3.6.2\n");
    const auto latest = ask(server.Address());
    ASSERT_TRUE(latest && *latest);
    EXPECT_EQ((**latest).minor, 6);
    EXPECT_EQ((**latest).build, 2);

    VersionServer page("<html>not a version</html>");
    const auto garbage = ask(page.Address());
    ASSERT_TRUE(garbage);
    EXPECT_FALSE(*garbage);
}

using UpdateCommand = AppFixture;

TEST_F(UpdateCommand, WithoutAnAddressSaysThatNoInformationIsAvailable) {
    QSignalSpy answered(app.get(), &ui::CKVScaleCrafterApp::UpdateAnswered);
    Run(CommandId::ID_CHECK_UPDATE);
    ASSERT_TRUE(answered.wait(5000));
    EXPECT_EQ(answered.at(0).at(0).toString(), "No update information is available.");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], "No update information is available.");
}

}  // namespace
}  // namespace kv::test
