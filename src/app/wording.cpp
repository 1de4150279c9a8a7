#include "app/wording.h"

#include <atomic>

namespace plivora {

namespace {

std::atomic<bool> chinese{false};

}  // namespace

void SetChineseWording(bool value) { chinese = value; }
bool ChineseWording() { return chinese; }

}  // namespace plivora
