#include "jobs/job_layers.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cmath>

#include "common/error.h"
#include "jobs/job_file.h"
#include "options/option_table.h"

namespace plivora {

namespace {

[[noreturn]] void Refuse(const QString& key, const QString& reason) { throw ViewFault{key, reason}; }

// A corner's coordinate: a whole number of pixels, within 2^31 either way.
int64_t PixelOf(const QJsonValue& value) {
  const QString two = QStringLiteral("\"position\" must be two whole numbers of pixels, [x, y]");
  if (!value.isDouble()) Refuse(QStringLiteral("position"), two);
  const double v = value.toDouble();
  if (!(v >= -2147483648.0 && v <= 2147483647.0) || std::floor(v) != v) Refuse(QStringLiteral("position"), two);
  return int64_t(v);
}

}  // namespace

Layer LayerFromJson(const QJsonValue& value, const QString& folder) {
  if (!value.isObject()) Refuse(QString(), QStringLiteral("a layer is an object: {\"path\": ..., \"depth\": ...}"));
  const QJsonObject o = value.toObject();
  for (const QString& key : o.keys())
    if (key != QLatin1String("path") && key != QLatin1String("bytes") && key != QLatin1String("depth") &&
        key != QLatin1String("position"))
      Refuse(key, QStringLiteral("a layer holds \"path\" (or \"bytes\"), \"depth\" and \"position\", not \"%1\"").arg(key));
  const bool hasPath = o.contains(QLatin1String("path")), hasBytes = o.contains(QLatin1String("bytes"));
  if (hasPath == hasBytes)
    Refuse(hasPath ? QStringLiteral("bytes") : QString(), QStringLiteral("a layer names its file by \"path\" or by \"bytes\", one of them"));
  Layer layer;
  const QString key = hasPath ? QStringLiteral("path") : QStringLiteral("bytes");
  try {
    layer.path = PathFromJson(hasPath ? o.value(key) : QJsonValue(QJsonObject{{key, o.value(key)}}), folder);
  } catch (const Error& e) {
    Refuse(key, e.message());
  }
  if (o.contains(QLatin1String("depth"))) {
    const QJsonValue depth = o.value(QLatin1String("depth"));
    const double d = depth.toDouble();
    if (!depth.isDouble() || !(d >= -double(kMaxMadeDepth) && d <= double(kMaxMadeDepth)))
      Refuse(QStringLiteral("depth"), QStringLiteral("\"depth\" must be a number of lens widths from -%1 to %1").arg(int(kMaxMadeDepth)));
    layer.depth = Real(d);
  }
  if (o.contains(QLatin1String("position"))) {
    const QJsonValue position = o.value(QLatin1String("position"));
    if (!position.isArray() || position.toArray().size() != 2)
      Refuse(QStringLiteral("position"), QStringLiteral("\"position\" must be two whole numbers of pixels, [x, y]"));
    layer.x = PixelOf(position.toArray().at(0));
    layer.y = PixelOf(position.toArray().at(1));
  }
  return layer;
}

QJsonValue LayerToJson(const Layer& layer, const QString& folder) {
  QJsonObject o;
  const QJsonValue name = PathToJson(layer.path, folder);
  if (name.isObject())
    o.insert(QStringLiteral("bytes"), name.toObject().value(QLatin1String("bytes")));
  else
    o.insert(QStringLiteral("path"), name);
  o.insert(QStringLiteral("depth"), double(layer.depth));
  if (layer.x != 0 || layer.y != 0) o.insert(QStringLiteral("position"), QJsonArray{double(layer.x), double(layer.y)});
  return o;
}

}  // namespace plivora
