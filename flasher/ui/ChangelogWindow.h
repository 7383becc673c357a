#pragma once

#include <QWidget>

class QLabel;

namespace flasher {

// The changelog window "CHANGELOG": one label over nearly all of it. Nothing opens it yet.
// The old window's names: Form2 is this window, Label1 m_text (its objectName).
class ChangelogWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ChangelogWindow(QWidget *parent = nullptr);

private:
    QLabel *m_text;
};

} // namespace flasher
