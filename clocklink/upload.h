#pragma once

#include "clocklink/command_guard.h"
#include "clocklink/mscomm.h"
#include "clocklink/operator.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"
#include "schedule/module1.h"

#include <functional>

namespace horvex {

// "Actualizar Reloj": guides the operator through the status line, builds the
// frame from what the window shows and sends it paced, 10 ms per character.
class UploadCommand {
public:
    using ShownSchedule = std::function<ClockSchedule()>;
    // Keeps what an upload did; throws Failure when it cannot.
    using Recorder = std::function<void(const UploadOutcome&)>;

    UploadCommand(Module1& m, MSComm1& port, StatusLine& status, MessageBox& box, Pause& pause,
                  ShownSchedule shown, Recorder record = {});

    // The whole upload. A press while an upload runs is ignored, so two frames
    // never interleave on the line. A frame that cannot be built, a closed port
    // or a failed write is reported through ErrorPuerto and ends the command.
    // The recorder gets an opening line just before the first character and
    // the outcome as soon as the line is done with the frame (a frame that
    // cannot be built gets the outcome alone); when the recorder fails, panel
    // 1 says so once the command's own texts are over.
    void Actualizar_Click();

    // Sends DatosTx one byte at a time with a 0.01 s pause after each, on
    // the line held for it (waiting for another upload's frame to end);
    // other commands are held meanwhile (see FrameGate). Throws Failure when
    // the line cannot be had or a byte cannot be handed to the port.
    void saco_RS232();

    bool running() const { return running_; }
    FrameGate& gate() { return gate_; }

private:
    // Takes the line, then saco_RS232 between the record's opening and
    // closing lines; the first reason a line was not kept goes to `unrecorded`.
    void sendRecorded(QString& unrecorded);
    // Hands the outcome to the recorder; returns why it was not kept, if so.
    QString record(const QString& id, bool opening, const Failure* failure) const;

    Module1& m_;
    MSComm1& port_;
    StatusLine& status_;
    MessageBox& box_;
    Pause& pause_;
    ShownSchedule shown_;
    Recorder record_;
    bool running_ = false;
    FrameGate gate_;
};

} // namespace horvex
