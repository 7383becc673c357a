#pragma once

#include "devicelink/SerialPort.h"
#include "flasher/UploadCommand.h"

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
// firmware and EEPROM uploads with their progress.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // The file dialog as the window uses it: shows an open dialog starting at `fileName` and
    // returns the chosen full path, or nothing when the user cancels. Tests answer it themselves.
    using OpenFileDialog =
        std::function<std::optional<QString>(QWidget *parent, const QString &fileName)>;
    // A Yes/No question without icon; true for Yes.
    using YesNoQuestion =
        std::function<bool(QWidget *parent, const QString &title, const QString &text)>;

    // Without a port the window uses the real serial port. The port scan runs here.
    explicit Form1(std::unique_ptr<devicelink::SerialPort> port = nullptr,
                   QWidget *parent = nullptr);
    ~Form1() override;

    // The save dialog for the firmware information command's copy of a new firmware; like
    // the open dialog it returns the chosen full path, or nothing on cancel.
    using SaveFileDialog = OpenFileDialog;

    void setOpenFileDialog(OpenFileDialog dialog) { m_openFileDialog = std::move(dialog); }
    void setSaveFileDialog(SaveFileDialog dialog) { m_saveFileDialog = std::move(dialog); }
    void setYesNoQuestion(YesNoQuestion question) { m_askYesNo = std::move(question); }
    // The update server given on the command line; empty: environment, saved setting, default.
    void setUpdateUrl(const QString &url) { m_updateUrl = url; }
    // Where "firmware.txt" and "jdwiii.hzg" go; empty: the program's folder or the user's.
    void setDownloadFolder(const QString &folder) { m_downloadFolder = folder; }

    // The filter the file choice sets on the dialog: "Text (*.x)|*.x|..." pairs.
    static QString fileFilter();

    // The controls. Their names are the ones the gauge's tools have always used.
    QPushButton *cmd_Search_File;
    QPushButton *cmd_Upload;
    QPushButton *Command2;
    QComboBox *ComboPort;
    QComboBox *Combospeed;
    QProgressBar *ProgressBar1;
    QLabel *Label4;
    QPushButton *Command3;
    QPushButton *Command4;
    QListWidget *List1;
    // Working controls that lie outside the visible area.
    QLineEdit *txt_File;
    QLabel *lbl_info;
    QList<int> List3; // the port numbers, parallel to ComboPort
    QByteArray Text1; // the receive text of the identification exchange

    void Form_Load();
    void cmd_Search_File_Click();
    void cmd_Upload_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class FirmwareInfoWindowUi;

    void buildControls();
    void runUpload(UploadKind kind);
    // The hooks of a transfer: the percentage in Label4 and the bar, lbl_info hidden on the
    // bootloader's answer.
    devicelink::LinkHooks transferHooks() const;
    void setFileFieldColour(const QColor &colour);

    std::unique_ptr<devicelink::SerialPort> m_port;
    devicelink::WindowLink *m_link;
    OpenFileDialog m_openFileDialog;
    SaveFileDialog m_saveFileDialog;
    YesNoQuestion m_askYesNo;
    QString m_updateUrl;
    QString m_downloadFolder;
    QString m_dialogFileName; // the file dialog keeps its file name from one use to the next
};

} // namespace flasher
