#include "Kestrune.h"
#include <QMainWindow>

// PLACEHOLDER: replaced by the real implementation.
Kestrune::Kestrune(QMainWindow* window) : QObject(window) {}
Kestrune::~Kestrune() {}
void Kestrune::frontendCallback(enum obs_frontend_event, void*) {}
void Kestrune::shutdown() {}
void Kestrune::becomeReady() {}
