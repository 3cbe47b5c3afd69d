#include "clocklink/realtime.h"

#include <pthread.h>
#include <sys/prctl.h>

namespace horvex {

RealtimeSend::RealtimeSend() {
    const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    if (slack >= 0 && ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0) == 0)
        oldSlack_ = slack;
    if (::pthread_getschedparam(::pthread_self(), &oldPolicy_, &oldParam_) != 0)
        return;
    const sched_param param{kPriority};
    raised_ = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param) == 0;
}

RealtimeSend::~RealtimeSend() {
    if (raised_)
        ::pthread_setschedparam(::pthread_self(), oldPolicy_, &oldParam_);
    if (oldSlack_ >= 0)
        ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(oldSlack_), 0, 0, 0);
}

} // namespace horvex
