#include "jobs/job_views.h"

#include <QJsonArray>
#include <QJsonObject>

#include "common/error.h"
#include "jobs/job_file.h"

namespace plivora {

namespace {

[[noreturn]] void Refuse(const QString& key, const QString& reason) { throw ViewFault{key, reason}; }

QString PathOf(const QJsonValue& value, const QString& folder, const QString& key) {
  try {
    return PathFromJson(value, folder);
  } catch (const Error& e) {
    Refuse(key, e.message());
  }
}

Real NumberOf(const QJsonValue& value, const QString& key, const QString& what) {
  if (!value.isDouble()) Refuse(key, QStringLiteral("\"%1\" must be %2").arg(key, what));
  return Real(value.toDouble());
}

}  // namespace

JobView ViewFromJson(const QJsonValue& value, const QString& folder) {
  JobView view;
  const QJsonObject o = value.toObject();
  const bool hasPath = o.contains(QLatin1String("path"));
  if (!value.isObject() || (!hasPath && o.keys() == QStringList{QStringLiteral("bytes")})) {
    view.path = PathOf(value, folder, QString());
    return view;
  }
  const bool hasBytes = o.contains(QLatin1String("bytes"));
  for (const QString& key : o.keys())
    if (key != QLatin1String("path") && key != QLatin1String("bytes") && key != QLatin1String("shift") && key != QLatin1String("turn"))
      Refuse(key, QStringLiteral("a view holds \"path\" (or \"bytes\"), \"shift\" and \"turn\", not \"%1\"").arg(key));
  if (hasPath == hasBytes) Refuse(hasPath ? QStringLiteral("bytes") : QString(), QStringLiteral("a view names its file by \"path\" or by \"bytes\", one of them"));
  view.path = hasPath ? PathOf(o.value(QLatin1String("path")), folder, QStringLiteral("path"))
                      : PathOf(QJsonObject{{QStringLiteral("bytes"), o.value(QLatin1String("bytes"))}}, folder, QStringLiteral("bytes"));
  if (o.contains(QLatin1String("shift"))) {
    const QJsonValue shift = o.value(QLatin1String("shift"));
    const QString two = QStringLiteral("two numbers of pixels, [dx, dy]");
    if (!shift.isArray() || shift.toArray().size() != 2) Refuse(QStringLiteral("shift"), QStringLiteral("\"shift\" must be %1").arg(two));
    view.transform.dx = NumberOf(shift.toArray().at(0), QStringLiteral("shift"), two);
    view.transform.dy = NumberOf(shift.toArray().at(1), QStringLiteral("shift"), two);
  }
  if (o.contains(QLatin1String("turn")))
    view.transform.turn = NumberOf(o.value(QLatin1String("turn")), QStringLiteral("turn"), QStringLiteral("a number of degrees"));
  try {
    CheckViewTransform(view.path, view.transform);
  } catch (const Error& e) {
    Refuse(view.transform.turn != 0 && e.message().contains(QLatin1String("turn")) ? QStringLiteral("turn") : QStringLiteral("shift"),
           e.message());
  }
  return view;
}

QJsonValue ViewToJson(const JobView& view, const QString& folder) {
  const QJsonValue name = PathToJson(view.path, folder);
  if (view.transform.Identity()) return name;
  QJsonObject o;
  if (name.isObject()) o.insert(QStringLiteral("bytes"), name.toObject().value(QLatin1String("bytes")));
  else o.insert(QStringLiteral("path"), name);
  if (view.transform.dx != 0 || view.transform.dy != 0)
    o.insert(QStringLiteral("shift"), QJsonArray{double(view.transform.dx), double(view.transform.dy)});
  if (view.transform.turn != 0) o.insert(QStringLiteral("turn"), double(view.transform.turn));
  return o;
}

}  // namespace plivora
