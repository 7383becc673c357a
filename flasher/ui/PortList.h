#pragma once

#include <QComboBox>

#include <functional>

namespace flasher {

// A port list that asks before it opens: `aboutToOpen` gets a function that opens the list and
// may call it at once or later (after a rescan), or not at all.
class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    using Open = std::function<void()>;
    using AboutToOpen = std::function<void(const Open &open)>;

    explicit PortComboBox(QWidget *parent = nullptr) : QComboBox(parent) {}
    void setAboutToOpen(AboutToOpen aboutToOpen) { m_aboutToOpen = std::move(aboutToOpen); }
    void showPopup() override;

private:
    AboutToOpen m_aboutToOpen;
};

} // namespace flasher
