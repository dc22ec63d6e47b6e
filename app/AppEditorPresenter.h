#pragma once
#include "app/AppServices.h"

#include <functional>
#include <memory>

namespace lumivane {

class AppModel;

// The editor window as the application model presents it. The model is looked up
// on each use (it is created after the services).
std::unique_ptr<EditorPresenter> makeEditorPresenter(const std::function<AppModel*()>& model);

} // namespace lumivane
