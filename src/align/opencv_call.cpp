#include "align/opencv_call.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>

#include "common/error.h"

namespace plivora {

void QuietOpenCv() {
  static const bool quiet = [] {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    return true;
  }();
  (void)quiet;
}

void FailOpenCv(const QString& what, const std::exception& e) {
  const auto* cvError = dynamic_cast<const cv::Exception*>(&e);
  const QString message = QString::fromUtf8(cvError ? cvError->err.c_str() : e.what());
  Fail(QStringLiteral("Cannot align the views: %1 (OpenCV: %2)").arg(what, message));
}

}  // namespace plivora
