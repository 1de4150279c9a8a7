// LittleCMS for the colour room's own files: a context whose messages are
// kept, and the handles it opens. Only the colour room's .cpp files include
// this.
#pragma once

#include <lcms2.h>

#include <QByteArray>

#include "common/library_messages.h"

namespace plivora {

// A LittleCMS context of its own, so that its messages go to `messages`
// and to nothing else; handles opened in it must go first.
class CmsContext {
 public:
  CmsContext();
  ~CmsContext();
  CmsContext(const CmsContext&) = delete;
  CmsContext& operator=(const CmsContext&) = delete;

  cmsContext get() const { return context_; }
  LibraryMessages& messages() { return messages_; }

 private:
  LibraryMessages messages_;
  cmsContext context_;
};

// A profile handle, closed on every path.
class CmsProfile {
 public:
  CmsProfile() = default;
  explicit CmsProfile(cmsHPROFILE handle) : handle_(handle) {}
  ~CmsProfile() {
    if (handle_) cmsCloseProfile(handle_);
  }
  CmsProfile(CmsProfile&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  CmsProfile& operator=(CmsProfile&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  cmsHPROFILE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  cmsHPROFILE handle_ = nullptr;
};

// Opens `bytes` as a profile in `context`; null when LittleCMS can't.
CmsProfile OpenProfile(CmsContext& context, const QByteArray& bytes);

}  // namespace plivora
