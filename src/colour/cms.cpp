#include "colour/cms.h"

namespace plivora {

namespace {

// LittleCMS's messages: kept, never printed; nothing is thrown through it.
void KeepCmsMessage(cmsContext context, cmsUInt32Number, const char* text) {
  auto* messages = static_cast<LibraryMessages*>(cmsGetContextUserData(context));
  if (messages) messages->AddError(QString::fromLocal8Bit(text ? text : "no reason given"));
}

}  // namespace

CmsContext::CmsContext() : context_(cmsCreateContext(nullptr, &messages_)) {
  if (context_) cmsSetLogErrorHandlerTHR(context_, KeepCmsMessage);
}

CmsContext::~CmsContext() {
  if (context_) cmsDeleteContext(context_);
}

CmsProfile OpenProfile(CmsContext& context, const QByteArray& bytes) {
  if (!context.get() || bytes.isEmpty()) return CmsProfile();
  return CmsProfile(cmsOpenProfileFromMemTHR(context.get(), bytes.constData(), cmsUInt32Number(bytes.size())));
}

}  // namespace plivora
