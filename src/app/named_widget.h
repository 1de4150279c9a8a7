// A widget made with its object name (tests and the settings find controls
// by it) and, when given, its place in the parent.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace plivora {

template <class W>
W* Make(QWidget* parent, const char* name, QRect bounds = {}) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  if (bounds.isValid()) w->setGeometry(bounds);
  return w;
}

}  // namespace plivora
