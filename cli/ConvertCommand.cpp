#include "cli/ConvertCommand.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include <CLI/CLI.hpp>

#include "bnscore/convert.h"
#include "cli/AtomicOutputFile.h"

namespace bnscore::cli {

namespace {

const char kConvertFooter[] =
    R"(Reads a Bayesian network in BIF, XMLBIF 0.3, the DMG PMML standard's
BayesianNetworkModel (discrete nodes) or this scorer's own BayesNetModel
(--from names the format; else it is told from the content) and writes it:
--to pmml (default): a BayesNetModel with --target as the predicted field
and every other variable a predictor (states in their order, every table
written; a binned variable as a Discretize of its input field);
--to xmlbif or bif: the network, a binned variable as a discrete variable
with the property "bins = CUTS of INPUT". --target may be left out when the
document names its target (DMG, BayesNetModel). See docs/formats.md.

Exit status: 0 written; 1 usage or file error; 2 the document was refused
("bnscore: FILE:LINE:COLUMN: MESSAGE" on standard error).)";

struct FileFault {
  std::string message;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileFault{"cannot open " + path};
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw FileFault{"cannot read " + path};
  return text.str();
}

}  // namespace

CLI::App* AddConvertCommand(CLI::App& app, ConvertArguments& arguments) {
  CLI::App* convert = app.add_subcommand(
      "convert", "Convert a network between BIF, XMLBIF, DMG PMML and this scorer's PMML");
  convert->add_option("IN", arguments.input, "The network document")->required();
  convert->add_option("-o,--output", arguments.output, "Write to FILE (default: stdout)")
      ->type_name("FILE");
  convert
      ->add_option("--target", arguments.target,
                   "The variable the written model predicts (--to pmml)")
      ->type_name("NODE");
  convert->add_option("--from", arguments.from, "The input's format (default: from its content)")
      ->type_name("bif|xmlbif|dmg|pmml")
      ->check(CLI::IsMember({"bif", "xmlbif", "dmg", "pmml"}));
  convert->add_option("--to", arguments.to, "The output's format (default: pmml)")
      ->type_name("pmml|xmlbif|bif")
      ->check(CLI::IsMember({"pmml", "xmlbif", "bif"}));
  convert->footer(kConvertFooter);
  return convert;
}

int RunConvert(const ConvertArguments& arguments, std::ostream& errors) {
  try {
    bnscore::cli::RefuseOutputOverInputs(arguments.output, {{"the input", arguments.input}});
    const std::string text = ReadWhole(arguments.input);
    const NetworkFormat to = arguments.to == "xmlbif" ? NetworkFormat::kXmlbif
                             : arguments.to == "bif"  ? NetworkFormat::kBif
                                                      : NetworkFormat::kPmml;
    const std::string output =
        ConvertNetwork(text, arguments.input,
                       arguments.from.empty() ? std::nullopt : NetworkFormatNamed(arguments.from),
                       to, arguments.target);
    if (arguments.output.empty() || arguments.output == "-") {
      std::cout << output;
      std::cout.flush();
      if (!std::cout) throw FileFault{"cannot write stdout"};
    } else {
      bnscore::cli::AtomicOutputFile out(arguments.output);
      out.Write(output);
      out.Commit();
    }
    return 0;
  } catch (const ConversionError& e) {
    errors << "bnscore: " << e.what() << '\n';
    return 2;
  } catch (const Error& fault) {  // the output file
    errors << "bnscore: " << fault.what() << '\n';
    return 1;
  } catch (const FileFault& fault) {
    errors << "bnscore: " << fault.message << '\n';
    return 1;
  }
}

}  // namespace bnscore::cli
