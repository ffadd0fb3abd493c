// The position limit detour dialog "位置受限绕行", held by the basic settings
// dialog: the south-west and south-east corners and the north-east limit.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "settings/limit_detour.h"

class QCheckBox;
class QLineEdit;

class CDialogPositionLimitDetour : public QDialog {
    Q_OBJECT
public:
    explicit CDialogPositionLimitDetour(QWidget* parent = nullptr);
    void SetStartFolder(std::string folder) { m_startFolder = std::move(folder); }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct LengthField {
        QLineEdit* edit;
        double smt::PositionLimitDetour::*member;
    };
    void ShowMembers();
    void ApplyLanguage();

    std::string m_startFolder;
    QCheckBox* m_southWest = nullptr;
    QCheckBox* m_southEast = nullptr;
    std::vector<LengthField> m_lengths;
};
