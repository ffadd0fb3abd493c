// The origin update dialog "原点坐标更新", held by the basic settings dialog: the
// offset to add, which stored coordinates to shift, and the axis switches of the
// reset of all axes.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <string>

#include "machine_ops/origin_update.h"

class QCheckBox;
class QLineEdit;

class CDialogOriginUpdate : public QDialog {
    Q_OBJECT
public:
    explicit CDialogOriginUpdate(QWidget* parent = nullptr);

    // Where OK saves (startFolder/config.ini) and who shows the shifted discard position.
    void SetStartFolder(std::string folder) { m_startFolder = std::move(folder); }
    void SetThrowDisplay(std::function<void(const std::string&, const std::string&)> show) {
        m_showThrow = std::move(show);
    }

public slots:
    void accept() override;
    void OnEnableAll();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ApplyLanguage();
    void ShowMembers();
    bool TakeFields(smt::OriginUpdateSettings& o);

    std::string m_startFolder;
    std::function<void(const std::string&, const std::string&)> m_showThrow;
    QLineEdit* m_offsetX = nullptr;
    QLineEdit* m_offsetY = nullptr;
    std::array<QCheckBox*, 5> m_update{};
    std::array<QCheckBox*, 16> m_axis{};
};
