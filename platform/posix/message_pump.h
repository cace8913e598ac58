#pragma once
// Off Windows there is no message queue. Host tests and the fuzzer stand in for
// the user by installing a callback that runs wherever the queue would drain.
#include <functional>

namespace platform {
void set_message_pump(std::function<void()> pump);
}
