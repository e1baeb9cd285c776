#pragma once

#include "foundation/BWError.h"

// The session's own failures, with their user-facing texts.
namespace nubo::cloudError {

constexpr int kFileListFailed = -100;
constexpr int kNotSignedIn = -101;
constexpr int kBadArgument = -102;
constexpr int kOpenUrlFailed = -103;

// A folder or search that cannot be resolved or listed: "读取文件失败，请重试".
BWError fileListFailed();
// A request made while no account is signed in.
BWError notSignedIn();
// A request whose arguments cannot be used (an empty name, a missing node, ...).
BWError badArgument(const QString& errmsg);

// The web browser could not be opened.
BWError openUrlFailed();

} // namespace nubo::cloudError
