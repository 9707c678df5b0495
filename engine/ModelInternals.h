#ifndef BNSCORE_ENGINE_MODELINTERNALS_H_
#define BNSCORE_ENGINE_MODELINTERNALS_H_

#include <functional>

#include <xercesc/dom/DOMDocument.hpp>

#include "bnscore/bnscore.h"
#include "host/interfaces/ScoreModel.h"

namespace bnscore {

// What the engine's own front ends (bnscore check, graph, evaluate and
// score's JSON Lines path) reach inside a Model, beyond the public API. Not
// exported from libbnscore.so: only code linked with the static copy uses
// it.
struct ModelInternals {
  // The host model the plug-in read; the Model owns it.
  static ScoreModel& GetHostModel(const Model& model);
  // The BayesNetModel text read when the model's document was converted
  // from another format (or given another target); "" otherwise.
  static const std::string& GetConvertedText(const Model& model);

  // While one lives, each model document that Model::Load or LoadText
  // reads on this thread is shown to it once the plug-in has read it, before
  // the document is released: what a front end reads beside the model from
  // the document (check's and graph's arcs) costs no second parse. Shown is
  // the document the plug-in read (the converted one for another format).
  // Nests: the one made before is restored when this one goes.
  class DocumentObserver {
   public:
    using Observe = std::function<void(const xercesc::DOMDocument&)>;
    explicit DocumentObserver(Observe observe);
    ~DocumentObserver();
    DocumentObserver(const DocumentObserver&) = delete;
    DocumentObserver& operator=(const DocumentObserver&) = delete;

    // Shows `document` to this thread's observer, if there is one.
    static void Notify(const xercesc::DOMDocument& document);

   private:
    Observe observe_;
    DocumentObserver* previous_;
  };
};

}  // namespace bnscore

#endif  // BNSCORE_ENGINE_MODELINTERNALS_H_
