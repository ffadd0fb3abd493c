// The run toolbar of the part list: eleven text-and-image buttons, command ids
// 104 to 114, flat, wrapping to the panel's width. It only builds the buttons;
// the part list handles their commands and others enable them by command id.
#pragma once

#include <QToolButton>
#include <QWidget>

#include <functional>
#include <vector>

namespace smt {

namespace tool {
inline constexpr int PcbEdit = 104, Strategy = 105, Start = 106, Pause = 107, Regain = 108, Stop = 109,
                     PcbClamp = 110, Find = 111, Compare = 112, Update = 113, SmtDis = 114;
inline constexpr int ControlId = 370;
inline constexpr int First = PcbEdit, Count = 11;
} // namespace tool

class CToolBarPartControl : public QWidget {
    Q_OBJECT
public:
    explicit CToolBarPartControl(QWidget* parent = nullptr);

    // Builds the eleven buttons in order; true when they were made.
    bool Create();
    // The enable-button message.
    void EnableButton(int commandId, bool enabled);
    bool IsButtonEnabled(int commandId) const;
    QToolButton* Button(int commandId) const;
    // The button texts are the fixed texts of the string resources 104..114.
    static const char* ButtonText(int commandId);

    // Where the commands go (the part list).
    std::function<void(int commandId)> m_OnCommand;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int LayOut(int width, bool place) const;
    std::vector<QToolButton*> m_buttons;
};

} // namespace smt
