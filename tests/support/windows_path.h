#pragma once
// A path as a Windows program sees it. The build hands the tests Unix paths
// when it cross-builds; under wine those live on the Z: drive.

#include <string>

std::string windows_path(const std::string& path);
