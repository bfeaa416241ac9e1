#pragma once

class CloudComms;
class QQmlContext;
class QQmlEngine;
class SavedOrders;
class ScreenTools;
class VexaOrder;

// Registers the program's types with the interface (module names and
// creatability as the screens expect them).
void registerInterfaceTypes();
// Context properties that do not belong to one object (version, folders).
void setCommonContextProperties(QQmlContext *context);
// Everything the screens reach by name, in one place for the program and
// the screen tests: the long-lived objects and settings stores as context
// properties, the registered types, the style module's import path, the
// icon font and the room-name choices. Returns the screens' helper object
// (owned by the engine).
ScreenTools *publishInterface(QQmlEngine *engine, VexaOrder *order, CloudComms *cloud, SavedOrders *savedOrders);
