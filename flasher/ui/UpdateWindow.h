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
//
// The old window's names live on as objectNames, which tests find the controls by: Form1 is this
// window; cmd_Search_File is m_openFileButton, cmd_Upload m_firmwareButton, Command2
// m_eepromButton, Command3 m_firmwareInfoButton, Command4 m_searchButton (each X_Click handler
// is onXxxClicked()), ComboPort m_portList, Combospeed m_speedList, ProgressBar1 m_progressBar,
// Label4 m_percentLabel, List1 m_log, lbl_info m_resetHint; Form_Load is startUp().
class UpdateWindow : public QWidget
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
    explicit UpdateWindow(devicelink::PortFactory ports, QWidget *parent = nullptr);
    ~UpdateWindow() override;

    void setOpenFileDialog(OpenFileDialog dialog) { m_openFileDialog = std::move(dialog); }
    void setSaveFileDialog(SaveFileDialog dialog) { m_saveFileDialog = std::move(dialog); }
    void setYesNoQuestion(YesNoQuestion question) { m_askYesNo = std::move(question); }
    // The update server, as the run context chose it.
    void setUpdateUrl(const QString &url) { m_updateUrl = url; }
    // Where "firmware.txt" and "jdwiii.hzg" go; empty: the program's folder or the user's.
    void setDownloadFolder(const QString &folder) { m_downloadFolder = folder; }
    // The keys "Firmware-Info" checks the update's signatures with, and whether it must be signed.
    void setSignaturePolicy(const SignaturePolicy &policy) { m_signatures = policy; }

    // What the uploads send: the chosen file's path, or "Datei existiert nicht".
    QString chosenFile() const { return m_chosenFile; }

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
    void startUp();
    // Scans the ports as a job, logs the ports left out and refills the list; `then` runs
    // afterwards unless the window is closing.
    void scanPorts(std::function<void()> then = {});
    void onPortListAboutToOpen(const std::function<void()> &open);
    void onOpenFileClicked();
    void onFirmwareClicked();
    void onEepromClicked();
    void onFirmwareInfoClicked();
    void onSearchClicked();
    void runUpload(UploadKind kind);
    void applyState(const UploadCommandState &state);
    void setWaitCursor(bool waiting);
    void askYesNoBox(const QString &title, const QString &text,
                     const std::function<void(bool)> &answer);

    // The controls, with the old names as objectNames.
    QPushButton *m_openFileButton; // "Datei öffnen": chooses the file to upload
    QPushButton *m_firmwareButton; // "Firmware hochladen": uploads the chosen firmware file
    QPushButton *m_eepromButton;   // "EEPROM hochladen": uploads the chosen EEPROM image
    QComboBox *m_portList;         // the ports found; opening it while idle rescans them
    QComboBox *m_speedList;
    QProgressBar *m_progressBar;
    QLabel *m_percentLabel; // the percentage beside the bar
    // "Firmware-Info": reads the installed version, offers the update
    QPushButton *m_firmwareInfoButton;
    QPushButton *m_searchButton; // "Gerät suchen": searches the ports for the gauge
    QListWidget *m_log;          // the log
    QLabel *m_resetHint;         // under the bar while the transfer waits for the controller reset

    devicelink::PortFactory m_ports;
    devicelink::WindowLink *m_link;
    OpenFileDialog m_openFileDialog;
    SaveFileDialog m_saveFileDialog;
    YesNoQuestion m_askYesNo;
    QString m_updateUrl = QLatin1String(UpdateClient::DefaultBaseUrl);
    QString m_downloadFolder;
    QString m_chosenFile;
    SignaturePolicy m_signatures;
    QString m_dialogFileName; // the file dialog keeps its file name from one use to the next
    bool m_waitCursor = false;
};

} // namespace flasher
