#pragma once

#include "devicelink/SerialPort.h"
#include "flasher/UploadCommand.h"
#include "flasher/update/SignatureCheck.h"
#include "flasher/update/UpdateClient.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace devicelink {
class WindowLink;
}

namespace flasher {

// The update window "DEVAZ update-tool V1.7": port and speed, device search, file choice and the
// firmware and EEPROM uploads with their progress. Every device operation runs as a job on a
// worker thread; the window stays responsive and refuses a second one while a job runs.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // The file dialogs as the window uses them: an open or save dialog starting at `fileName`
    // that calls `chosen` with the full path, or with nothing when the user cancels. Tests
    // answer them themselves.
    using Chosen = std::function<void(const std::optional<QString> &path)>;
    using FileDialog =
        std::function<void(QWidget *parent, const QString &fileName, const Chosen &chosen)>;
    using OpenFileDialog = FileDialog;
    using SaveFileDialog = FileDialog;
    // A Yes/No question without icon; `answer` gets true for Yes.
    using YesNoQuestion =
        std::function<void(QWidget *parent, const QString &title, const QString &text,
                           const std::function<void(bool yes)> &answer)>;

    // Every job makes its port with `ports`. The start-up scan runs as the window's first job.
    explicit Form1(devicelink::PortFactory ports, QWidget *parent = nullptr);
    ~Form1() override;

    void setOpenFileDialog(OpenFileDialog dialog) { m_openFileDialog = std::move(dialog); }
    void setSaveFileDialog(SaveFileDialog dialog) { m_saveFileDialog = std::move(dialog); }
    void setYesNoQuestion(YesNoQuestion question) { m_askYesNo = std::move(question); }
    // The update server, as the run context chose it.
    void setUpdateUrl(const QString &url) { m_updateUrl = url; }
    // Where "firmware.txt" and "jdwiii.hzg" go; empty: the program's folder or the user's.
    void setDownloadFolder(const QString &folder) { m_downloadFolder = folder; }
    // The keys "Firmware-Info" checks the update's signatures with, and whether it must be signed.
    void setSignaturePolicy(const SignaturePolicy &policy) { m_signatures = policy; }

    // Adds "Hinweis: <text>" to the log: an explanation such as a port folder that is missing.
    void addHint(const QString &text);

    // A job (scan, search, upload, firmware information) is running.
    bool busy() const;

    // The filter the file choice sets on the dialog: "Text (*.x)|*.x|..." pairs.
    static QString fileFilter();

signals:
    // A job has ended and the window stays open.
    void idle();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class FirmwareInfoWindowUi;

    void buildControls();
    void Form_Load();
    // Scans the ports as a job, logs the ports left out and refills the list; `then` runs
    // afterwards unless the window is closing.
    void scanPorts(std::function<void()> then = {});
    void ComboPort_AboutToOpen(const std::function<void()> &open);
    void cmd_Search_File_Click();
    void cmd_Upload_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void runUpload(UploadKind kind);
    void applyButtons(const UploadButtons &buttons);
    void setFileFieldColour(const QColor &colour);
    void setWaitCursor(bool waiting);
    void askYesNoBox(const QString &title, const QString &text,
                     const std::function<void(bool)> &answer);

    // The controls; each has its member name as objectName, which is how tests find them.
    QPushButton *cmd_Search_File; // "Datei öffnen": chooses the file to upload
    QPushButton *cmd_Upload;      // "Firmware hochladen": uploads the chosen firmware file
    QPushButton *Command2;        // "EEPROM hochladen": uploads the chosen EEPROM image
    QComboBox *ComboPort;         // the ports found; opening it while idle rescans them
    QComboBox *Combospeed;
    QProgressBar *ProgressBar1;
    QLabel *Label4;        // the percentage beside the bar
    QPushButton *Command3; // "Firmware-Info": reads the installed version, offers the update
    QPushButton *Command4; // "Gerät suchen": searches the ports for the gauge
    QListWidget *List1;    // the log
    // Working controls that lie outside the visible area.
    QLineEdit *txt_File; // the chosen file's path, or "Datei existiert nicht"
    QLabel *lbl_info;    // shown while the transfer waits for the controller reset
    QList<int> List3;    // the port numbers, parallel to ComboPort
    QByteArray Text1;    // the receive text of the identification exchange

    devicelink::PortFactory m_ports;
    devicelink::WindowLink *m_link;
    OpenFileDialog m_openFileDialog;
    SaveFileDialog m_saveFileDialog;
    YesNoQuestion m_askYesNo;
    QString m_updateUrl = QLatin1String(UpdateClient::DefaultBaseUrl);
    QString m_downloadFolder;
    SignaturePolicy m_signatures;
    QString m_dialogFileName; // the file dialog keeps its file name from one use to the next
    bool m_waitCursor = false;
};

} // namespace flasher
