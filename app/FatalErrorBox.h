#pragma once
// The one error the user ever sees: a modal box titled "错误", after which
// the program ends with status -1.
#include <QString>
#include <cstddef>

namespace velkaro {

// "运行时出错!" CR LF CR LF "错误信息：" + detail + CR LF.
QString FatalErrorText(const QString& detail);

// Shows the box (when a display is there to show it on) and ends the process
// with status -1.
[[noreturn]] void ShowFatalErrorAndExit(const QString& detail);

// The detail for a failed allocation: "分配 N 字节内存失败!".
QString AllocationFailureDetail(std::size_t bytes);

inline const QString kWindowCreationFailedDetail = QStringLiteral("载入启动窗口失败");

// Routes every fatal allocation of a Text or byte set to the box.
void InstallFatalErrorHandlers();

}  // namespace velkaro
