// The pipeline's road on one page file, for the batch runner: load, threshold, optional
// deskew, components, and the outputs with the JSON report.
#include "vorlane/pipeline/batch.h"

#include "binding.h"
#include "vorlane/pipeline/html_report.h"
#include "vorlane/pipeline/vocabulary.h"

namespace vorlane::python {
namespace {

namespace fs = std::filesystem;

// Sets the method called name with its value: half_window for Niblack (0 derives it from
// the resolution), threshold for the global threshold. ValueError for another name or a
// value out of range.
void ChooseMethod(const std::string& name, int halfWindow, int threshold, ProcessOptions& options) {
  const std::optional<ThresholdMethod> method = pipeline::MethodFromName(name);
  if (!method) {
    const auto names = pipeline::MethodNames();
    throw py::value_error("method must be " +
                          QuotedChoices(std::vector<std::string>(names.begin(), names.end())));
  }
  std::optional<int> value;
  if (*method == ThresholdMethod::niblack && halfWindow > 0) value = halfWindow;
  if (*method == ThresholdMethod::global) value = threshold;
  const std::string problem = pipeline::ChooseMethod(*method, value, options);
  if (!problem.empty()) throw py::value_error(problem);
}

}  // namespace

void BindBatch(py::module_& m) {
  m.def(
      "process_file",
      [](const std::string& path, const std::string& outDir, const std::string& method,
         int halfWindow, int threshold, const py::object& deskew, int connectivity, bool views,
         bool skipExisting, int page, const std::string& compression, int dpi, bool report) {
        if (connectivity != 4 && connectivity != 8)
          throw py::value_error("connectivity must be 4 or 8");
        pipeline::RunSettings settings;
        ChooseMethod(method, halfWindow, threshold, settings.process);
        // "auto" estimates the skew and straightens trusted pages; a number is the skew to undo.
        if (py::isinstance<py::str>(deskew)) {
          if (deskew.cast<std::string>() != "auto")
            throw py::value_error("deskew must be 'auto' or a number of degrees");
          settings.process.deskewAuto = true;
        } else {
          settings.process.deskewDegrees = deskew.cast<double>();
        }
        settings.process.connect8 = connectivity == 8;
        settings.outDir = outDir;
        settings.writeViews = views;
        settings.skipExisting = skipExisting;
        const std::optional<TiffCompression> chosen = pipeline::CompressionFromName(compression);
        if (!chosen) {
          const auto names = pipeline::CompressionNames();
          throw py::value_error("compression must be " + QuotedChoices(std::vector<std::string>(
                                                             names.begin(), names.end())));
        }
        settings.compression = *chosen;
        if (dpi < 0) throw py::value_error("dpi must be 0 (none given) or positive");
        settings.dpi = dpi;
        settings.report = report;
        pipeline::PageResult result;
        {
          py::gil_scoped_release release;
          result = pipeline::ProcessInputFile(path, settings, nullptr, page);
        }
        const bool wrote = result.outcome == pipeline::PageOutcome::written ||
                           result.outcome == pipeline::PageOutcome::skipped;
        py::dict out;
        out["status"] = pipeline::OutcomeName(result.outcome);
        out["page"] = result.page;
        out["error"] = result.message.empty() ? py::object(py::none()) : py::str(result.message);
        out["warning"] = result.warning.empty() ? py::object(py::none()) : py::str(result.warning);
        out["report_path"] =
            wrote ? py::object(py::str(result.names.report.string())) : py::object(py::none());
        return out;
      },
      py::arg("path"), py::arg("out_dir"), py::arg("method") = "niblack",
      py::arg("half_window") = 0, py::arg("threshold") = 128, py::arg("deskew") = py::float_(0.0),
      py::arg("connectivity") = 8, py::arg("views") = true, py::arg("skip_existing") = false,
      py::arg("page") = 0, py::arg("compression") = "g4", py::arg("dpi") = 0,
      py::arg("report") = false,
      "Runs the command-line tool's road on one page (from 0) of a page file, writing its outputs "
      "and JSON report "
      "into out_dir. Never raises for a bad page: the result's status is 'failed' with the "
      "error. With report, the page's error record and the folder's HTML report are written "
      "too.");
  m.def(
      "write_report",
      [](const std::string& outDir) {
        std::string problem;
        {
          py::gil_scoped_release release;
          problem = WriteHtmlReport(outDir);
        }
        if (!problem.empty()) throw py::value_error(problem);
        return (fs::path(outDir) / "index.html").string();
      },
      py::arg("out_dir"),
      "Writes out_dir/index.html, the HTML report of the pages processed into out_dir; returns "
      "its path.");
}

}  // namespace vorlane::python
