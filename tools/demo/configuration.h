#pragma once

#include <QtCore/QByteArray>

namespace korva::demo {

struct DemoOptions;
class Populator;

// The product's configuration tree (tbl_Configuration) and the file that
// describes its settings, OrvexConfigurationData.xml, made from one list.
void populateConfiguration(Populator &p, const DemoOptions &options);
QByteArray configurationDataXml();

} // namespace korva::demo
