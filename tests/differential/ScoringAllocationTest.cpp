// GetScore allocates nothing per record once the first record has been
// scored (plan built, result and scratch grown): every allocation in this
// binary is counted while records are scored.

#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bayesnet/reader/BayesNetTranslator.h"
#include "testing/GeneratorOptions.h"
#include "testing/ModelGenerator.h"
#include "testing/RecordGenerator.h"
#include "testing/RecordTable.h"
#include "host/interfaces/ScoreResult.h"
#include "host/xml/PmmlParser.h"
#include "host/xml/XmlPlatform.h"

using namespace bnscore::testing;

// The sanitizers bring their own allocator; counting is left to the plain
// build there.
#if defined(__SANITIZE_ADDRESS__)
#define BNSCORE_COUNT_ALLOCATIONS 0
#else
#define BNSCORE_COUNT_ALLOCATIONS 1
#endif

namespace {
bool gCounting = false;
long gAllocations = 0;
}  // namespace

#if BNSCORE_COUNT_ALLOCATIONS
void* operator new(std::size_t size) {
  if (gCounting) ++gAllocations;
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#endif

namespace {

TEST(ScoringAllocation, NoneAfterTheFirstRecordOnEveryBenchmarkShape) {
  if (!BNSCORE_COUNT_ALLOCATIONS) GTEST_SKIP() << "allocations are not counted here";
  for (const ShapePreset& preset : ShapePresets()) {
    const ModelGenerator generator(preset.options);
    std::unique_ptr<ScoreModel> model;
    {
      XmlPlatform platform;
      DocumentPtr document = PmmlParser::ParseText(generator.Pmml(), preset.name);
      BayesNetTranslator translator;
      model.reset(translator.ParseFromTree(document.get(), ""));
    }
    RecordOptions options;
    options.missingCells = 0.001;
    options.unknownValues = 0.001;
    RecordGenerator cells(generator, options);
    for (bool indexed : {true, false}) {
      RecordTable records(*model, cells.GetFieldNames(), indexed, false);
      std::vector<std::string> row;
      for (int i = 0; i < 50; ++i) {
        cells.NextRecord(row);
        records.Add(row);
      }
      ScoreResult* result = nullptr;
      for (std::size_t i = 0; i < records.Size(); ++i)
        model->GetScore(records.Get(i), result, false);
      gAllocations = 0;
      gCounting = true;
      long scored = 0;
      for (std::size_t i = 0; i < records.Size(); ++i) {
        scored += model->GetScore(records.Get(i), result, false).GetCode() == 0 ? 1 : 0;
      }
      gCounting = false;
      delete result;
      EXPECT_EQ(gAllocations, 0) << preset.name << (indexed ? ", indexed" : ", by name");
      EXPECT_GT(scored, 0) << preset.name;
    }
  }
}

}  // namespace
