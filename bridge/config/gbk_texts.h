// Keys and messages of the configuration files as GBK bytes, the way they
// appear in the files and the way the window layer receives them. The text of
// each constant is in the comment above it.
#pragma once

#include <string_view>

namespace padlink::gbk {

// 轮循间隔
inline constexpr std::string_view kKeyPollInterval{"\xc2\xd6\xd1\xad\xbc\xe4\xb8\xf4"};
// 读取超时
inline constexpr std::string_view kKeyReadTimeout{"\xb6\xc1\xc8\xa1\xb3\xac\xca\xb1"};
// 读取时间间隔
inline constexpr std::string_view kKeyReadInterval{
    "\xb6\xc1\xc8\xa1\xca\xb1\xbc\xe4\xbc\xe4\xb8\xf4"};
// 调试信息输出
inline constexpr std::string_view kKeyTrafficLog{
    "\xb5\xf7\xca\xd4\xd0\xc5\xcf\xa2\xca\xe4\xb3\xf6"};
// 落单版本
inline constexpr std::string_view kKeyOrderVersion{"\xc2\xe4\xb5\xa5\xb0\xe6\xb1\xbe"};

// "系统时间.txt"格式有误!
inline constexpr std::string_view kTimingFormatError{
    "\x22\xcf\xb5\xcd\xb3\xca\xb1\xbc\xe4\x2e\x74\x78\x74\x22\xb8\xf1\xca\xbd\xd3\xd0\xce\xf3"
    "\x21"};
// 读取基站串口文件失败或没有基站信息！
inline constexpr std::string_view kStationLoadFailure{
    "\xb6\xc1\xc8\xa1\xbb\xf9\xd5\xbe\xb4\xae\xbf\xda\xce\xc4\xbc\xfe\xca\xa7\xb0\xdc\xbb\xf2"
    "\xc3\xbb\xd3\xd0\xbb\xf9\xd5\xbe\xd0\xc5\xcf\xa2\xa3\xa1"};
// 读取文件失败
inline constexpr std::string_view kStationLoadFailureCaption{
    "\xb6\xc1\xc8\xa1\xce\xc4\xbc\xfe\xca\xa7\xb0\xdc"};

}  // namespace padlink::gbk
