// The command-line tool's road on one page file, for the batch runner: load, threshold,
// optional deskew, components, and the outputs with the JSON report.
#include "binding.h"
#include "jobs.h"

namespace vorlane::python {
namespace {

ThresholdMethod MethodOf(const std::string& name) {
  if (name == "niblack") return ThresholdMethod::niblack;
  if (name == "weszka") return ThresholdMethod::weszka;
  if (name == "global") return ThresholdMethod::global;
  throw py::value_error("method must be 'niblack', 'weszka' or 'global'");
}

const char* OutcomeName(cli::Outcome outcome) {
  switch (outcome) {
    case cli::Outcome::written:
      return "written";
    case cli::Outcome::skipped:
      return "skipped";
    case cli::Outcome::cancelled:
      return "cancelled";
    default:
      return "failed";
  }
}

}  // namespace

void BindBatch(py::module_& m) {
  m.def(
      "process_file",
      [](const std::string& path, const std::string& outDir, const std::string& method,
         int halfWindow, int threshold, const py::object& deskew, int connectivity, bool views,
         bool skipExisting) {
        if (connectivity != 4 && connectivity != 8)
          throw py::value_error("connectivity must be 4 or 8");
        cli::RunSettings settings;
        settings.process.method = MethodOf(method);
        settings.process.halfWindow = halfWindow;
        settings.process.globalThreshold = threshold;
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
        settings.printResults = false;
        cli::FileResult result;
        {
          py::gil_scoped_release release;
          cli::Progress progress(cli::ProgressMode::none, 1);
          result = cli::ProcessInputFile(path, settings, progress);
        }
        py::dict out;
        out["status"] = OutcomeName(result.outcome);
        out["error"] = result.message.empty() ? py::object(py::none()) : py::str(result.message);
        out["warning"] = result.warning.empty() ? py::object(py::none()) : py::str(result.warning);
        out["report_path"] =
            result.outcome == cli::Outcome::written || result.outcome == cli::Outcome::skipped
                ? py::object(py::str(result.names.report.string()))
                : py::object(py::none());
        return out;
      },
      py::arg("path"), py::arg("out_dir"), py::arg("method") = "niblack",
      py::arg("half_window") = 0, py::arg("threshold") = 128, py::arg("deskew") = py::float_(0.0),
      py::arg("connectivity") = 8, py::arg("views") = true, py::arg("skip_existing") = false,
      "Runs the command-line tool's road on one page file, writing its outputs and JSON report "
      "into out_dir. Never raises for a bad page: the result's status is 'failed' with the "
      "error.");
}

}  // namespace vorlane::python
