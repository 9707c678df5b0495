// Every rejected document under tests/data/plugin_fault_*.pmml, with the
// exact code and message it must raise.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "tests/bayesnet/reader/PluginTestSupport.h"

namespace {

struct Fault {
  const char* file;  // tests/data/plugin_fault_<file>.pmml
  int code;
  const char* message;
};

void PrintTo(const Fault& fault, std::ostream* os) { *os << fault.file; }

const char kIncomplete[] =
    "At least one <MiningSchema>, one <LinkSource>, one <ConditionalTables> element is required.";

// Faults the reader raises itself: code and message are exact.
const Fault kReaderFaults[] = {
    // Document walk.
    {"no_model", 1, "<BayesNetModel> is required!"},
    {"no_linksource", 1, kIncomplete},
    {"no_tables", 1, kIncomplete},
    {"target_without_categories", 1, kIncomplete},
    {"no_target", 1, kIncomplete},
    // LinkSource.
    {"linksource_row_first", 1, "<names must be the first element within LinkSource."},
    {"linksource_empty", 1, "<names must be the first element within LinkSource."},
    {"linksource_not_row", 1, "Only row elements are allowed here."},
    {"loop", 1, "Loop is not allowed."},
    {"two_fields", 5, "The format of content is invalid."},
    {"four_fields", 5, "The format of content is invalid."},
    {"bad_escape", 5, "The format of content is invalid."},
    {"empty_row", 5, "The format of content is invalid."},
    {"link_unknown_name", 8, "salaryVariable name not found in dictionary."},
    // Only blanks are trimmed: the line break stays in the parent's name.
    {"link_leading_line_break", 8, "\nroomsVariable name not found in dictionary."},
    // ConditionalTables.
    {"table_names_not_first", 12, "<names must be the first element within ConditionalTable."},
    {"table_without_children", 12, "<names must be the first element within ConditionalTable."},
    {"tables_other_child", 12, "Only ConditionalTable elements are allowed here."},
    {"table_not_row", 1, "Only row elements are allowed here."},
    {"parent_value", 8, "region Variable's value west not found."},
    {"numeric_parent_value", 8, "rooms Variable's value 4 not found."},
    {"parent_without_encoder", 8, "zipVariable's encoder not found."},
    {"table_unknown_field", 8, "bedroomsVariable name not found in dictionary."},
    {"table_unknown_parent", 8, "areaVariable name not found in dictionary."},
    {"table_negative_parents", 12, "ConditionalTable for rooms: parentsNumber -1 is negative."},
    {"table_too_few_names", 12,
     "ConditionalTable for risk: parentsNumber is 2 but names lists 1 parent."},
    {"table_no_names_listed", 12,
     "ConditionalTable for risk: parentsNumber is 2 but names lists 0 parents."},
    {"binning_missing", 8, "ageVariable binning info not found in transformation dictionary."},
    {"no_transformation_dictionary", 8,
     "ageVariable binning info not found in transformation dictionary."},
    // MiningSchema.
    {"mining_field_undefined", 5, "zipCode is not defined!"},
    {"derived_member_undefined", 5, "wealthBand is not defined!"},
    {"derived_ref_undefined", 5, "ageBand is not defined!"},
    {"derived_ref_without_transformation", 5, "ageBin is not defined!"},
    {"derived_extension_empty", 5, "<MiningField> is required!"},
    {"two_targets", 12, "Only one target is allowed."},
    // Discretization.
    {"no_derived_field", 1, "<DerivedField> is required!!"},
    {"not_discretize", 1, "Element Discretize was expected here."},
    {"not_discretize_bin", 1, "Element DiscretizeBin was expected here."},
    {"not_interval", 1, "Element Interval was expected here."},
    {"bin_without_interval", 1, "Element Interval was expected here."},
    {"margins", 12, "Error in Interval margins."},
    {"first_right_margin_absent", 12, "Error in Interval margins."},
    {"single_bin", 5, "BayesNetTranslator::ParseDiscretize: cutpoints found"},
};

// Faults the host raises for the reader: the code, and a message that
// names the attribute or element at fault.
const Fault kHostFaults[] = {
    {"no_mining_schema", 2, "MiningSchema"},
    {"table_without_fieldname", 3, "fieldName"},
    {"row_bad_totaln", 4, "totalN"},
    {"margin_not_number", 4, "leftMargin"},
    {"later_bin_without_left_margin", 4, "leftMargin"},
};

std::string FileOf(const Fault& fault) {
  return std::string("plugin_fault_") + fault.file + ".pmml";
}

class ReaderFaultTest : public testing::TestWithParam<Fault> {};

TEST_P(ReaderFaultTest, RaisesExactCodeAndMessage) {
  const VkException e = ReadFault(FileOf(GetParam()));
  EXPECT_EQ(e.GetCode(), GetParam().code);
  EXPECT_EQ(e.GetMessage(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Documents, ReaderFaultTest, testing::ValuesIn(kReaderFaults),
                         [](const testing::TestParamInfo<Fault>& info) {
                           return std::string(info.param.file);
                         });

class HostFaultTest : public testing::TestWithParam<Fault> {};

TEST_P(HostFaultTest, ReachesTheCallerUnchanged) {
  const VkException e = ReadFault(FileOf(GetParam()));
  EXPECT_EQ(e.GetCode(), GetParam().code);
  EXPECT_NE(e.GetMessage().find(GetParam().message), std::string::npos) << e.GetMessage();
}

INSTANTIATE_TEST_SUITE_P(Documents, HostFaultTest, testing::ValuesIn(kHostFaults),
                         [](const testing::TestParamInfo<Fault>& info) {
                           return std::string(info.param.file);
                         });

}  // namespace
