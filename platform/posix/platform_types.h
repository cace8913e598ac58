#pragma once
// Opaque stand-ins: off Windows no window ever exists, so every handle is null.
namespace platform {
using WindowHandle = struct OpaqueWindow*;
using BitmapHandle = struct OpaqueBitmap*;
using BrushHandle = struct OpaqueBrush*;
using FontHandle = struct OpaqueFont*;
using DeviceContext = struct OpaqueDeviceContext*;
using MessageId = unsigned;
using WordParam = unsigned long;
using LongParam = long;
using MessageResult = long;
using WindowProcedure = MessageResult (*)(WindowHandle, MessageId, WordParam, LongParam);
}  // namespace platform

#define PLATFORM_CALLBACK
