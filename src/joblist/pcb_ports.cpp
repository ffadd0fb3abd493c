#include "joblist/pcb_ports.h"

#include "joblist/pcb_editor.h"
#include "joblist/run_board.h"
#include "joblist/run_port.h"
#include "link/jog.h"
#include "link/positioning.h"
#include "machine_ops/origin_update.h"
#include "settings/pulse_settings.h"
#include "settings/rederive_hooks.h"
#include "vision/set_view.h"

namespace smt {

void InstallPcbPorts(PcbEditor& ed) {
    PcbEditor* e = &ed;
    PositioningPort& pos = ThePositioningPort();
    pos.currentPcbRecord = [e]() -> std::optional<PcbRecordPoints> {
        const int k = e->FindPcbIndex();
        if (k < 0) return std::nullopt;
        const PcbRecord& r = e->m_PcbRecords[k];
        return PcbRecordPoints{{r.m_OriginX, r.m_OriginY}, {r.m_Mark1X, r.m_Mark1Y}, {r.m_Mark2X, r.m_Mark2Y}};
    };
    pos.currentPcbCopy = [] {
        const RunBoardState s = CopyRunBoard();
        PanelGridView v;
        v.rows = s.g_RunPanelRows;
        v.cols = s.g_RunPanelCols;
        v.rowPitch = s.g_RunRowPitch;
        v.colPitch = s.g_RunColPitch;
        v.cells = s.g_RunPanelGrid;
        v.origin = {s.g_RunOriginX, s.g_RunOriginY};
        return v;
    };
    pos.pcbVision = [e] {
        const PcbEditFields& f = e->m_Fields;
        PcbVisionValues v;
        v.perBoardMarks = f.m_SubBoardMark != 0;
        v.scale = f.m_VisualZoom;
        v.frameSize = f.m_VisualBox;
        v.markContrast = f.m_LightContrast;
        v.markBrightness = f.m_LightBrightness;
        v.ownMark2 = f.m_SpecialMark2 != 0;
        v.mark2Contrast = f.m_Mark2LightContrast;
        v.mark2Brightness = f.m_Mark2LightBrightness;
        return v;
    };

    JogPort& jog = TheManualJog().Port();
    jog.pcbMarkPoints = [e]() -> std::optional<PcbMarkPoints> {
        const int k = e->FindPcbIndex();
        if (k < 0) return std::nullopt;
        const PcbEditFields& f = e->m_Fields;
        return PcbMarkPoints{f.m_OriginX, f.m_OriginY, f.m_Mark1X, f.m_Mark1Y, f.m_Mark2X, f.m_Mark2Y};
    };
    jog.markOffsets = [e] {
        const PcbEditFields& f = e->m_Fields;
        return MarkOffsets{f.m_Mark1OffsetX, f.m_Mark1OffsetY, f.m_Mark2OffsetX, f.m_Mark2OffsetY};
    };
    jog.storeManualMarkOffsets = [e](const MarkOffsets& o) {
        PcbEditFields& f = e->m_Fields;
        f.m_Mark1OffsetX = o.mark1X;
        f.m_Mark1OffsetY = o.mark1Y;
        f.m_Mark2OffsetX = o.mark2X;
        f.m_Mark2OffsetY = o.mark2Y;
        f.m_ManualMarkOffset = 1;
    };
    // The manual panel's Mark-offset buttons and the editor's OK share the run's correction.
    jog.computeTwoMarkCorrection = [](double m1x, double m1y, double m2x, double m2y) {
        if (const auto& correct = TheRunPort().computeTwoMarkCorrection) correct(m1x, m1y, m2x, m2y);
    };

    SettingsRederivations& r = TheSettingsRederivations();
    r.findCurrentPcbIndex = [e] { return e->FindPcbIndex(); };
    r.convertBoardPointsToPulses = [] {
        RunBoardState s = CopyRunBoard();
        ConvertBoardPointsToPulses(s, ThePulseFactors().m_X_Pulse, ThePulseFactors().m_Y_Pulse);
        StoreRunBoard(s);
    };
    TheOriginShiftPort().shiftPcbOrigin = [e](double dx, double dy) { e->ShiftPcbOrigin(dx, dy); };

    // The mark camera's picture follows the board's colour reversal; while the editor
    // opens, the panel keeps its own light rather than the board's.
    SetViewSources& panel = TheSetViewSources();
    panel.markColourReversal = [e] { return e->m_Fields.m_ImageColorReversal != 0; };
    panel.pcbEditorInitialising = [e] { return e->m_KeepPanelLight != 0; };
}

void UninstallPcbPorts() {
    PositioningPort& pos = ThePositioningPort();
    pos.currentPcbRecord = nullptr;
    pos.currentPcbCopy = nullptr;
    pos.pcbVision = nullptr;
    JogPort& jog = TheManualJog().Port();
    jog.pcbMarkPoints = nullptr;
    jog.markOffsets = nullptr;
    jog.storeManualMarkOffsets = nullptr;
    jog.computeTwoMarkCorrection = nullptr;
    TheSettingsRederivations().findCurrentPcbIndex = nullptr;
    TheSettingsRederivations().convertBoardPointsToPulses = nullptr;
    TheOriginShiftPort().shiftPcbOrigin = nullptr;
    TheSetViewSources().markColourReversal = nullptr;
    TheSetViewSources().pcbEditorInitialising = nullptr;
}

} // namespace smt
