#pragma once

#include "clocklink/mscomm.h"
#include "clocklink/operator.h"
#include "clocklink/upload.h"
#include "schedule/clock_display.h"
#include "schedule/module1.h"
#include "schedule/reg_store.h"
#include "ui/upload_news.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
class QToolButton;
class QPushButton;

namespace horvex {

class FrmIni;
class MainStatusBar;

// The main window: 36 alarm rows, the ring lengths, the clock, the commands
// and the status line. It owns the program's variables and the serial port.
class FrmMain : public QWidget, public StatusLine, public MessageBox {
    Q_OBJECT
public:
    struct Services {
        RegStore& store;
        Pause& pause;
        ClockReading clock = localTimeOfDay;
        // Ends the program at once; replaced by tests.
        std::function<void()> endProgram;
        // Where each upload is recorded; none in tests.
        UploadCommand::Recorder record = {};
    };

    explicit FrmMain(Services services);
    ~FrmMain() override;

    // The start-up sequence, run once before the window is first shown.
    void Form_Load();

    Module1& module() { return m_; }
    horvex::MSComm1& port() { return MSComm1; }
    QString panelText(int panel) const;

    // StatusLine and MessageBox for the core.
    void setPanelText(int panel, const QString& text) override;
    void critical(const QString& title, const QString& prompt) override;

    // Commands, also reached by their buttons.
    void Actualizar_Click();
    void Grabo_Click();
    void salir_Click();
    void Opciones_Click();
    void Acerca_Click();
    void Timer1_Timer();
    // Panel 1 tells an upload another program made (the timer, the calendar
    // window), once the window is idle: not in a command, a pause or a dialog.
    void tellOtherUploads();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildButtons();
    void buildAlarmFrame();
    void buildRingFrame();
    void buildClockFrame();
    void setTabOrder();
    void connectHandlers();
    void fillLists();
    void showMirrors();
    bool saveReportingFailure();
    bool idle() const;
    void Form_Unload();
    ClockSchedule shownSchedule() const;

    void cboHH_Click(int Index);
    void cboMM_Click(int Index);
    void chkAla_Click(int Index);
    void cmbCorto_Click();
    void cmbLargo_Click();

    Services services_;
    Module1 m_;
    horvex::MSComm1 MSComm1;
    UploadCommand upload_;
    UploadNews news_;
    int commands_ = 0; // commands running, one inside another's pause included
    std::unique_ptr<FrmIni> frmIni_;

    QToolButton* Opciones = nullptr;
    QToolButton* Grabo = nullptr;
    QToolButton* Acerca = nullptr;
    QToolButton* salir = nullptr;
    QPushButton* Actualizar = nullptr;
    std::array<QLabel*, kSlots> HH{};
    std::array<QLabel*, kSlots> MM{};
    std::array<QComboBox*, kSlots> cboHH{};
    std::array<QComboBox*, kSlots> cboMM{};
    std::array<QCheckBox*, kSlots> chkAla{};
    QComboBox* cmbCorto = nullptr;
    QComboBox* cmbLargo = nullptr;
    QLabel* Hora = nullptr;
    MainStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;
};

} // namespace horvex
