#pragma once

#include "platform/web/PickedFile.h"
#include "platform/web/WebFileLayer.h"

#include <string>

namespace koravel::testing {

// Every regular file of the process's own file system (emscripten's in-memory
// one under Node) as if the user had picked it, written in place the way a
// browser does: a swap copy that starts as the file and replaces it at Commit.
class LocalPickedFiles : public PickedFiles {
  public:
    std::shared_ptr<PickedFile> Find(const std::string& path) override;
};

// The web file layer over LocalPickedFiles, for the suites that drive the
// handlers through the platform's real file layer.
class LocalWebFileLayer : public WebFileLayer {
  public:
    LocalWebFileLayer() : WebFileLayer(local_) {}

  private:
    LocalPickedFiles local_; // constructed after the base, used only once called
};

} // namespace koravel::testing
