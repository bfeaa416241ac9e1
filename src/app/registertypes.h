#pragma once

class QQmlContext;

// Registers the program's types with the interface (module names and
// creatability as the screens expect them).
void registerInterfaceTypes();
// Context properties that do not belong to one object (version, folders).
void setCommonContextProperties(QQmlContext *context);
