#include "cli/RebuildOutput.h"

#include <initializer_list>

#include "cli/AuditOutput.h"
#include "cli/Commands.h"
#include "rebuild/RebuildChoice.h"

namespace vexmoor::cli {

namespace {

const char* ActionWord(TRebuildAction action) {
  switch (action) {
    case TRebuildAction::Copy: return "copy";
    case TRebuildAction::Move: return "move";
    case TRebuildAction::HardLink: return "link";
    case TRebuildAction::SymbolicLink: return "symlink";
  }
  return "copy";
}

const char* StateWord(TStepState state) {
  switch (state) {
    case TStepState::Written: return "written";
    case TStepState::Present: return "present";
    case TStepState::Skipped: return "skipped";
    case TStepState::Failed: return "failed";
  }
  return "failed";
}

std::string SourceText(const TRebuildSource& source) {
  return source.Member.empty() ? source.Path : source.Path + '\\' + source.Member;
}

// The fields made printable one by one, tab-separated, and a newline.
std::string Line(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) {
    if (field.empty()) continue;
    if (!line.empty()) line += '\t';
    line += PrintableText(field);
  }
  return line + '\n';
}

std::string TrimmedNote(const TRebuildPlan& plan, const TRebuildStep& step) {
  if (!step.Source.Trimmed) return "";
  return plan.Options.PadTrimmed ? "trimmed, padded" : "trimmed";
}

std::string SafeNameNote(const TRebuildStep& step) {
  if (step.FileName == step.DatFileName) return "";
  return "name made safe from \"" + step.DatFileName + "\"";
}

std::string Field(const char* name, const std::string& value) {
  return std::string("\"") + name + "\":" + value;
}

std::string StepJson(const TRebuildPlan& plan, const TRebuildStep& step, const TStepOutcome* outcome) {
  std::string json = "{" + Field("index", JsonString(step.Index)) + "," +
                     Field("name", JsonString(step.Name)) + "," +
                     Field("source", JsonString(step.Source.Path)) + "," +
                     Field("member", JsonString(step.Source.Member)) + "," +
                     Field("target", JsonString(step.Target)) + "," +
                     Field("datFileName", JsonString(step.DatFileName)) + "," +
                     Field("fileName", JsonString(step.FileName)) + "," +
                     Field("trimmed", step.Source.Trimmed ? "true" : "false") + "," +
                     Field("padded", step.Source.Trimmed && plan.Options.PadTrimmed ? "true" : "false");
  if (outcome) {
    json += "," + Field("state", JsonString(StateWord(outcome->State))) + "," +
            Field("reason", JsonString(outcome->Reason));
  }
  return json + "}";
}

}  // namespace

std::string PlanText(const TRebuildPlan& plan) {
  std::string text;
  for (const TRebuildStep& step : plan.Steps) {
    text += Line({ActionWord(plan.Options.Action), SourceText(step.Source), "->", step.Target,
                  TrimmedNote(plan, step), SafeNameNote(step)});
  }
  return text;
}

std::string ReportText(const TRebuildPlan& plan, const TRebuildReport& report) {
  std::string text;
  for (size_t i = 0; i < report.Steps.size(); ++i) {
    const TStepOutcome& outcome = report.Steps[i];
    text += Line({StateWord(outcome.State), plan.Steps[i].Target, outcome.Reason});
  }

  for (const std::string& path : report.RemovedSources) text += Line({"removed", path});
  for (const TKeptSource& kept : report.KeptSources) text += Line({"kept", kept.Path, kept.Reason});
  return text + RebuildCountLines(CountOutcomes(report));
}

std::string RebuildJson(const TRebuildPlan& plan, const TRebuildReport* report) {
  std::string json = "{" + Field("output", JsonString(plan.Output)) + "," +
                     Field("action", JsonString(ActionWord(plan.Options.Action))) + "," +
                     Field("zip", plan.Options.Zip ? "true" : "false") + "," +
                     Field("dryRun", report ? "false" : "true") + ",\"steps\":[";
  for (size_t i = 0; i < plan.Steps.size(); ++i) {
    if (i) json += ",";
    json += StepJson(plan, plan.Steps[i], report ? &report->Steps[i] : nullptr);
  }
  json += "]";
  if (report) {
    json += ",\"removed\":[";
    for (size_t i = 0; i < report->RemovedSources.size(); ++i)
      json += (i ? "," : "") + JsonString(report->RemovedSources[i]);
    json += "],\"kept\":[";
    for (size_t i = 0; i < report->KeptSources.size(); ++i) {
      json += std::string(i ? "," : "") + "{" + Field("path", JsonString(report->KeptSources[i].Path)) +
              "," + Field("reason", JsonString(report->KeptSources[i].Reason)) + "}";
    }
    json += "]," + Field("cancelled", report->Cancelled ? "true" : "false");
  }
  return json + "}\n";
}

}  // namespace vexmoor::cli
