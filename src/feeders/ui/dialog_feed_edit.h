// The feeder editor "料架编辑": shows and edits the feeder list's FeedEditForm.
// The form's logic (ranges, OK's checks, Next, transfers) is plain C++ in
// feeders/feed_edit.h; this dialog only exchanges the controls with it.
//
// The machine buttons (read-backs, jogs, feeder walks, camera and pick moves, feed
// and vacuum tests) are handled in dialog_feed_edit_actions.cpp; the tray button
// opens the tray dialog for the tray feed modes and hands the other modes on there.
#pragma once

#include <QDialog>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "feeders/feed_edit.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace smt {

class CDialogGridBox;
class FeedList;

class CDialogFeedEdit : public QDialog, private FeedEditControls {
    Q_OBJECT
public:
    CDialogFeedEdit(FeedList& list, QWidget* parent);
    ~CDialogFeedEdit() override;

    std::function<std::string()> m_StartFolder;
    // How the editor and its tray dialog run modally (tests replace it).
    std::function<int(QDialog&)> m_RunModal;
    // The feeder list shows the row Next moved to.
    std::function<void(int row)> m_ShowListRow;

    FeedEditForm& Form() { return m_form; }
    FeedList& List() { return m_list; }
    CDialogGridBox& GridBox() { return *m_gridBox; }

    // The feeder list's editor: loads the row (a new feeder, empty cell 0, keeps the
    // previous values), runs the form and gives the stored row back (nullopt: Cancel).
    std::optional<FeedListItem> Run(const FeedListItem& loaded);

    void LoadLanguage(const std::string& startFolder, const std::string& language);
    void ApplyLanguage();
    // The opening: combos by machine type and strategy, values shown, layout applied.
    void OnInitDialog();
    // Writes the values into the controls (all, or only the listed controls).
    void ShowFields(const std::set<int>& only = {});
    void ApplyFeedModeLayout(const std::string& word);

    // Handlers.
    void OnBankClicked(int bank);
    void OnPackageChosen();
    void OnFeedModeChosen();
    void OnNozzleChosen();
    void OnPrecisionChanged(int control);
    void OnSeparateMark();
    void OnTrayButton();
    void OnUpdatePack();
    void OnNext();

    // Machine actions (dialog_feed_edit_actions.cpp): a click, a press and a release
    // of a machine button, a head chosen in combo 1044, and the jog keys (true when
    // the key was taken). Clicks: 1238 X, 1239 Y, 1240 CX, 1241 CY, 1248 CX and 1249 CY
    // (drag pin), 1242 L, 1246 <¤>, 1426 获取, 1429 camera to feeder, 1244 T, 1037 and
    // 1465 (tests) and 1216 in the modes where it is the feed test. Presses: 1138/1139
    // X-/X+, 1147/1148 Y+/Y-, 1255 Set, 1485/1486 Z up/down, 1487, 1254 To=Z, 1466 pick
    // to camera, 1245/1247/1250/1253 the drag-feeder drives. A test that stores first
    // sets Form().storeInPlace and calls accept(); Form().validationFailed tells the result.
    void OnMachineButton(int id);
    void OnMachineButtonDown(int id);
    void OnMachineButtonUp(int id);
    void OnHeadChosen(int index);
    bool OnMachineKey(QKeyEvent* event, bool down);

    QLineEdit* Field(int id) const { return m_edits.at(id); }
    QComboBox* Combo(int id) const { return m_combos.at(id); }
    QPushButton* Button(int id) const { return m_buttons.at(id); }
    QRadioButton* BankRadio(int bank) const { return m_bank[bank]; }
    QRadioButton* VisionRadio(int vision) const { return m_vision[vision]; }
    QCheckBox* OwnSpeedBox() const { return m_ownSpeed; }
    QLabel* Caption(int id) const { return m_labels.at(id); }
    QGroupBox* FeedGroupBox() const { return m_feedBox; }

public slots:
    void accept() override;
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // FeedEditControls
    std::string FeedModeText() const override;
    std::string PackageText() const override;
    std::string FeedCountText() const override;
    void CheckBank(int bank) override;
    bool ReadControls(FeedEditValues& v) override;
    void FocusFeedCount() override;
    void SetEditText(int control, const std::string& text) override;

    int CheckedBank() const;
    void ShowPrecision();
    void ShowRemark();
    void SetFeedTexts(bool drag);

    FeedList& m_list;
    FeedEditForm m_form;
    CDialogGridBox* m_gridBox = nullptr;
    std::map<int, QLineEdit*> m_edits;
    std::map<int, QComboBox*> m_combos;
    std::map<int, QPushButton*> m_buttons;
    std::map<int, QLabel*> m_labels;
    std::vector<std::pair<std::string, QWidget*>> m_captioned;  // key, label / box / button
    QRadioButton* m_bank[5]{};
    QRadioButton* m_vision[3]{};
    QButtonGroup* m_bankGroup = nullptr;
    QButtonGroup* m_visionGroup = nullptr;
    QCheckBox* m_ownSpeed = nullptr;
    QGroupBox* m_feedBox = nullptr;
    QLabel* m_feedCountMm = nullptr;
    int m_feedTexts = 0;  // 1 feeder, 2 drag pin
};

} // namespace smt
