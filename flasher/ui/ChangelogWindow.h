#pragma once

#include <QWidget>

class QLabel;

namespace flasher {

// The changelog window "CHANGELOG": one label over nearly all of it. Nothing opens it yet.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);

    QLabel *Label1;
};

} // namespace flasher
