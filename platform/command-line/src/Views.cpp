#include <ZelCommandLine/Program.h>

namespace ZelCommandLine {

std::vector<OptionView> VisibleOptions(const CLI::App& app) {
  std::vector<OptionView> views;
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_positional() || option->get_group().empty()) continue;
    OptionView view;
    for (const std::string& name : option->get_snames()) view.names.push_back("-" + name);
    for (const std::string& name : option->get_lnames()) view.names.push_back("--" + name);
    if (option->get_type_size_max() > 0) view.value = option->get_type_name();
    view.description = option->get_description();
    view.required = option->get_required();
    view.repeatable = option->get_expected_max() > 1 ||
                      option->get_multi_option_policy() == CLI::MultiOptionPolicy::TakeAll;
    views.push_back(std::move(view));
  }
  return views;
}

std::vector<const CLI::App*> VisibleCommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* command) { return !command->get_group().empty(); });
}

std::string PositionalSynopsis(const CLI::App& app) {
  std::string text;
  for (const CLI::Option* option : app.get_options()) {
    if (!option->get_positional() || option->get_group().empty()) continue;
    std::string name = option->get_name(true);
    if (option->get_items_expected_max() > 1) name += "...";
    if (!option->get_required()) name = "[" + name + "]";
    text += (text.empty() ? "" : " ") + name;
  }
  return text;
}

}  // namespace ZelCommandLine
