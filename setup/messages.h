#pragma once
// A step that stops because the user cancelled leaves exactly this text; the
// install sequence tells a cancellation from a failure by it alone.
inline constexpr char cancelled_message[] = "Setup was cancelled.";
