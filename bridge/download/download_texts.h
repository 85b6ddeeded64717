// GBK texts of the download conversations: the progress texts the download
// page shows in a handheld's row and the error boxes. The text of each is in
// the comment above it. Never reword one: the page compares some of them.
#pragma once

#include <string_view>

namespace padlink::gbk {

// 下载表 %d... 正在下载%d包
inline constexpr std::string_view kProgressFormat{"\xcf\xc2\xd4\xd8\xb1\xed\x20\x25\x64\x2e\x2e\x2e\x20\xd5\xfd\xd4\xda\xcf\xc2\xd4\xd8\x25\x64\xb0\xfc"};

// 下载完成!
inline constexpr std::string_view kDownloadDone{"\xcf\xc2\xd4\xd8\xcd\xea\xb3\xc9\x21"};

// 下载失败!
inline constexpr std::string_view kDownloadFailed{"\xcf\xc2\xd4\xd8\xca\xa7\xb0\xdc\x21"};

// 下载表序列号出错！
inline constexpr std::string_view kPacketIndexError{"\xcf\xc2\xd4\xd8\xb1\xed\xd0\xf2\xc1\xd0\xba\xc5\xb3\xf6\xb4\xed\xa3\xa1"};

// 读取文件“
inline constexpr std::string_view kReadFileErrorPrefix{"\xb6\xc1\xc8\xa1\xce\xc4\xbc\xfe\xa1\xb0"};

// ”错误
inline constexpr std::string_view kReadFileErrorSuffix{"\xa1\xb1\xb4\xed\xce\xf3"};

// 错误
inline constexpr std::string_view kReadFileErrorCaption{"\xb4\xed\xce\xf3"};

// 数据库版本.txt
inline constexpr std::string_view kVersionFileNameGbk{"\xca\xfd\xbe\xdd\xbf\xe2\xb0\xe6\xb1\xbe\x2e\x74\x78\x74"};

}  // namespace padlink::gbk
