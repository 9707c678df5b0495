#include "cli/GraphCommand.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/AtomicOutputFile.h"
#include "cli/BinText.h"
#include "bnscore/bnscore.h"

extern char** environ;

namespace bnscore::cli {

namespace {

// Categories shown on a node before "... (N more)".
constexpr std::size_t kMaxCategories = 12;

// `text` as a DOT quoted string: quotes and backslashes escaped, line
// ends as DOT's \n.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c != '\r') {
      quoted += c;
    }
  }
  return quoted + '"';
}

std::string CategoryList(const Variable* var) {
  if (var == nullptr) return {};
  std::string list;
  std::size_t shown = 0;
  for (const std::string& category : var->categories) {
    if (shown == kMaxCategories) {
      list += " | ... (" + std::to_string(var->categories.size() - shown) + " more)";
      break;
    }
    list += (shown++ == 0 ? "" : " | ") + category;
  }
  return list;
}

const Variable* FindVariable(const std::vector<Variable>& vars, const std::string& name) {
  for (const Variable& var : vars) {
    if (var.name == name) return &var;
  }
  return nullptr;
}

// "name", then the categories, or the bins of a binned field with their
// cut points.
std::string NodeLabel(const std::string& name, const Variable* var, const Structure& network,
                      const ModelDescription& description, bool isTarget) {
  std::string label = name + (isTarget ? "\n(target)" : "");
  const BinnedField* binned = network.FindBinned(name);
  if (binned != nullptr) {
    const std::string bins =
        binned->discretized ? DescribeBins(binned->bins)
                            : CategoryList(FindVariable(description.derived, binned->derivedField));
    return label + "\nbins (" + binned->derivedField + ")" + (bins.empty() ? "" : ":\n" + bins);
  }
  const std::string categories = CategoryList(var);
  return categories.empty() ? label : label + "\n" + categories;
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

void WriteAll(int fd, const std::string& text, const std::string& name) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EPIPE) throw OutputClosed("cannot write " + name);
    if (n <= 0) throw FileError("cannot write " + name + ": " + std::strerror(errno));
    written += static_cast<std::size_t>(n);
  }
}

// Runs `dot -Tsvg` with `dotText` on its standard input and `outputFd` as
// its standard output.
void RenderSvg(const std::string& dotText, int outputFd) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw Error(std::string("cannot make a pipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  char program[] = "dot";
  char format[] = "-Tsvg";
  char* argv[] = {program, format, nullptr};
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, "dot", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[0]);
  if (spawned != 0) {
    ::close(pipeFds[1]);
    if (spawned == ENOENT) {
      throw Error(
          "--format svg needs Graphviz's dot, which is not installed (on Debian: apt-get install "
          "graphviz); --format dot writes the graph for any other renderer");
    }
    throw Error(std::string("cannot run dot: ") + std::strerror(spawned));
  }
  std::string writeFault;
  try {
    WriteAll(pipeFds[1], dotText, "to dot");
  } catch (const Error& e) {
    writeFault = e.what();  // dot ended early; its status says why
  }
  ::close(pipeFds[1]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw Error("dot failed (" +
                (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                   : "signal " + std::to_string(WTERMSIG(status))) +
                ")");
  }
  if (!writeFault.empty()) throw Error(writeFault);
}

}  // namespace

std::string MakeDot(const Model& model, const std::string& modelPath) {
  const ModelDescription description = model.Describe();
  const Structure network = model.GetStructure();
  const Variable* target = description.target ? &*description.target : nullptr;
  const std::string targetName = target != nullptr ? target->name : std::string();

  std::vector<std::string> nodes;
  if (target != nullptr) nodes.push_back(targetName);
  for (const Variable& var : description.inputs) AddOnce(nodes, var.name);
  for (const Arc& arc : network.arcs) {
    AddOnce(nodes, arc.parent);
    AddOnce(nodes, arc.child);
  }
  const std::vector<std::string> blanket =
      target != nullptr ? network.markovBlanket : std::vector<std::string>();

  const std::size_t slash = modelPath.find_last_of('/');
  std::string dot = "digraph " +
                    Quoted(slash == std::string::npos ? modelPath : modelPath.substr(slash + 1)) +
                    " {\n";
  dot += "  label=" +
         Quoted(target != nullptr ? "target " + targetName + " (orange); its Markov blanket in blue"
                                  : std::string("no target")) +
         ";\n  labelloc=t;\n  fontname=Helvetica;\n  rankdir=TB;\n";
  dot += "  node [shape=box, style=\"rounded,filled\", fillcolor=white, fontname=Helvetica];\n";
  for (const std::string& name : nodes) {
    const bool isTarget = target != nullptr && name == targetName;
    const Variable* var = isTarget ? target : FindVariable(description.inputs, name);
    dot += "  " + Quoted(name) +
           " [label=" + Quoted(NodeLabel(name, var, network, description, isTarget));
    if (isTarget) {
      dot += ", fillcolor=\"#f4b183\", penwidth=2";
    } else if (std::find(blanket.begin(), blanket.end(), name) != blanket.end()) {
      dot += ", fillcolor=\"#bdd7ee\"";
    }
    dot += "];\n";
  }
  for (const Arc& arc : network.arcs) {
    dot += "  " + Quoted(arc.parent) + " -> " + Quoted(arc.child) + ";\n";
  }
  return dot + "}\n";
}

void RunGraph(const Model& model, const GraphOptions& options) {
  const std::string dot = MakeDot(model, options.modelPath);
  bnscore::cli::AtomicOutputFile output(options.outputPath);
  if (options.svg) {
    RenderSvg(dot, output.Get());
  } else {
    WriteAll(output.Get(), dot, output.GetName());
  }
  output.Commit();
}

}  // namespace bnscore::cli
