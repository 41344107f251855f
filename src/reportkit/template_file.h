#pragma once

#include "report_template.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace reportkit {

// The template file: XML of our own (docs/report-templates.md). Reading accepts
// no document type declaration, so no entity is ever expanded and no external
// reference followed. Every fault is an Error naming the file, the line and
// what is wrong.
Template parseTemplate(const QByteArray& xml, const QString& fileName);
QByteArray serializeTemplate(const Template& report);

// std::nullopt when no file exists at path: the caller decides what to say.
std::optional<Template> loadTemplateFile(const QString& path);
// Replaces the file as a whole (a failed write leaves the old file in place).
void saveTemplateFile(const Template& report, const QString& path);

} // namespace reportkit
