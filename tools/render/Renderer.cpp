#include "tools/render/Renderer.h"

#include "plugin/PluginProcessor.h"
#include "tools/render/BandEnergyMeter.h"
#include "tools/render/PendingFile.h"
#include "tools/render/ReductionMeter.h"
#include "tools/render/ReductionPlot.h"

#include <sys/stat.h>

namespace
{
juce::String quoted (const juce::File& f) { return "'" + f.getFullPathName() + "'"; }

/** Same path, or the same file reached through a link. */
bool isSameFile (const juce::File& a, const juce::File& b)
{
    if (a == b)
        return true;

    struct stat sa, sb;
    return stat (a.getFullPathName().toRawUTF8(), &sa) == 0 && stat (b.getFullPathName().toRawUTF8(), &sb) == 0
           && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

juce::String whyNotWritable (const juce::File& f)
{
    const auto folder = f.getParentDirectory();
    if (f.isDirectory())
        return "it is a folder";
    if (! folder.isDirectory())
        return "folder " + quoted (folder) + " does not exist";
    if (f.existsAsFile() && ! f.hasWriteAccess())
        return "it is read-only";

    // Proves the folder takes new files: the output is written beside it first.
    juce::TemporaryFile probe (f, juce::TemporaryFile::useHiddenFile);
    juce::FileOutputStream stream (probe.getFile());
    if (! stream.openedOk())
        return stream.getStatus().getErrorMessage().trim().toLowerCase();

    return {};
}

/** The bit depth OUT can hold nearest to the input's; 32 means float for WAV. */
int bitsFor (juce::AudioFormat& format, const juce::AudioFormatReader& in)
{
    const auto possible = format.getPossibleBitDepths();
    const int wanted = in.usesFloatingPointData ? 32 : (int) in.bitsPerSample;

    if (possible.contains (wanted))
        return wanted;

    return wanted > possible.getLast() ? possible.getLast() : possible.getFirst();
}

} // namespace

Renderer::Renderer (const RenderOptions& o) : options (o)
{
    formats.registerFormat (new juce::WavAudioFormat(), true);
    formats.registerFormat (new juce::AiffAudioFormat(), false);
    formats.registerFormat (new juce::FlacAudioFormat(), false);
}

Renderer::~Renderer() = default;

juce::Result Renderer::open()
{
    const auto& in = options.input;

    if (in.isDirectory())
        return juce::Result::fail (quoted (in) + " is a folder, not an audio file");
    if (! in.existsAsFile())
        return juce::Result::fail ("cannot read " + quoted (in) + ": no such file");
    if (juce::FileInputStream stream (in); ! stream.openedOk())
        return juce::Result::fail ("cannot read " + quoted (in) + ": "
                                   + stream.getStatus().getErrorMessage().trim().toLowerCase());

    reader.reset (formats.createReaderFor (in));
    if (reader == nullptr || reader->sampleRate <= 0 || reader->numChannels == 0)
        return juce::Result::fail (quoted (in) + " is not a readable WAV, AIFF or FLAC file (unsupported or corrupt)");
    if (reader->numChannels > 2)
        return juce::Result::fail (quoted (in) + " has " + juce::String (reader->numChannels)
                                   + " channels; only mono and stereo files can be rendered");
    if (reader->lengthInSamples <= 0)
        return juce::Result::fail (quoted (in) + " holds no audio");

    // An uncompressed file cut short still announces its full length; JUCE
    // would read silence for the missing part.
    if (reader->getFormatName() != "FLAC file")
    {
        const auto bytes = reader->lengthInSamples * reader->numChannels * (juce::int64) (reader->bitsPerSample / 8);
        if (in.getSize() < bytes)
            return juce::Result::fail (quoted (in) + " is truncated: it holds less audio than its header announces");
    }

    if (options.presetFile != juce::File())
    {
        const auto& pf = options.presetFile;
        if (! pf.existsAsFile())
            return juce::Result::fail ("cannot read preset file " + quoted (pf) + ": no such file");

        juce::XmlDocument doc (pf);
        const auto xml = doc.getDocumentElement();
        if (xml == nullptr)
            return juce::Result::fail (
                quoted (pf) + " is not a preset file: "
                + (doc.getLastParseError().isNotEmpty() ? doc.getLastParseError() : juce::String ("it is empty")));
        if (! xml->hasTagName ("PARAMETERS"))
            return juce::Result::fail (quoted (pf) + " is not a preset file: its top element is <" + xml->getTagName()
                                       + ">, not <PARAMETERS>");

        presetState = juce::ValueTree::fromXml (*xml);
    }

    outputFormat = formats.findFormatForFileExtension (options.output.getFileExtension());
    if (outputFormat == nullptr)
        return juce::Result::fail ("cannot write " + quoted (options.output)
                                   + ": its extension must name the format (.wav, .aif, .aiff or .flac)");

    if (auto result = checkOutputs(); result.failed())
        return result;

    summary.inputName = in.getFileName();
    summary.outputName = options.output.getFileName();
    summary.seconds = (double) reader->lengthInSamples / reader->sampleRate;
    summary.channels = (int) reader->numChannels;
    summary.sampleRate = reader->sampleRate;
    summary.blockSize = options.blockSize;

    outputBits = bitsFor (*outputFormat, *reader);
    const auto name = outputFormat->getFormatName().upToFirstOccurrenceOf (" ", false, false);
    const bool isFloat = outputBits == 32 && name == "WAV";
    summary.outputFormat = juce::String (outputBits) + "-bit " + (isFloat ? "float " : "") + name;

    const bool inFloat = reader->usesFloatingPointData;
    if (outputBits != (int) reader->bitsPerSample || isFloat != inFloat)
        notes.add ("note: " + name + " has no " + juce::String (reader->bitsPerSample) + "-bit "
                   + (inFloat ? "float " : "integer ") + "format here; writing " + summary.outputFormat);

    return juce::Result::ok();
}

juce::Result Renderer::checkOutputs() const
{
    const std::vector<std::pair<juce::File, juce::String>> outputs{ { options.output, "output" },
                                                                    { options.plotFile, "plot" },
                                                                    { options.jsonFile, "JSON summary" } };

    for (size_t i = 0; i < outputs.size(); ++i)
    {
        const auto& [file, what] = outputs[i];
        if (file == juce::File())
            continue;

        if (isSameFile (file, options.input))
            return juce::Result::fail ("the " + what + " " + quoted (file) + " is the input file; choose another name");
        if (options.presetFile != juce::File() && isSameFile (file, options.presetFile))
            return juce::Result::fail ("the " + what + " " + quoted (file)
                                       + " is the preset file; choose another name");

        for (size_t j = 0; j < i; ++j)
            if (outputs[j].first != juce::File() && isSameFile (file, outputs[j].first))
                return juce::Result::fail ("the " + what + " and the " + outputs[j].second + " are both "
                                           + quoted (file));

        if (const auto why = whyNotWritable (file); why.isNotEmpty())
            return juce::Result::fail ("cannot write " + quoted (file) + ": " + why);
    }

    return juce::Result::ok();
}

std::unique_ptr<ZeriZaRirodAudioProcessor> Renderer::createProcessor() const
{
    auto p = std::make_unique<ZeriZaRirodAudioProcessor>();

    const auto set = reader->numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    p->setBusesLayout (layout);

    if (presetState.isValid())
        p->restoreFullState (presetState, false);

    for (const auto& [param, value] : options.values)
    {
        auto* parameter = p->parameters.getParameter (params::id (param));
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    p->setNonRealtime (true);
    p->setRateAndBufferSizeDetails (reader->sampleRate, options.blockSize);
    p->prepareToPlay (reader->sampleRate, options.blockSize);
    return p;
}

juce::Result Renderer::render (const std::function<bool (double)>& progress)
{
    const auto startTime = juce::Time::getMillisecondCounterHiRes();
    const int numChannels = (int) reader->numChannels;
    const double rate = reader->sampleRate;
    const auto length = reader->lengthInSamples;

    auto processor = createProcessor();
    auto meterProcessor = createProcessor();

    for (auto p : params::all())
        summary.settings.emplace_back (p, processor->parameters.getRawParameterValue (params::id (p))->load());

    const auto value = [&] (Param p) { return processor->parameters.getRawParameterValue (params::id (p))->load(); };
    const auto bands = DeEsser::bandEdges (value (Param::frequency), 0.01f * value (Param::focus));
    BandEnergyMeter before (rate, numChannels, bands.low, bands.high), after (rate, numChannels, bands.low, bands.high);
    summary.bandLowHz = before.lowHz();
    summary.bandHighHz = before.highHz();
    ReductionPlot plot (length, rate);
    ReductionMeter meter (*meterProcessor, numChannels, juce::jmax (1, juce::roundToInt (rate / 1000.0)));

    PendingFile audioFile (options.output);
    auto stream = std::make_unique<juce::FileOutputStream> (audioFile.file());
    if (! stream->openedOk())
        return juce::Result::fail ("cannot write " + quoted (options.output) + ": "
                                   + stream->getStatus().getErrorMessage().trim().toLowerCase());

    std::unique_ptr<juce::AudioFormatWriter> writer (
        outputFormat->createWriterFor (stream.get(), rate, (unsigned int) numChannels, outputBits, {}, 0));
    if (writer == nullptr)
        return juce::Result::fail ("cannot write " + quoted (options.output) + " as " + summary.outputFormat);
    stream.release();

    const bool clips = ! summary.outputFormat.contains ("float");
    juce::AudioBuffer<float> buffer (numChannels, options.blockSize);
    juce::MidiBuffer midi;
    bool written = true;

    for (juce::int64 pos = 0; pos < length; pos += options.blockSize)
    {
        const int n = (int) std::min<juce::int64> (options.blockSize, length - pos);
        if (! reader->read (&buffer, 0, n, pos, true, true))
            return juce::Result::fail ("cannot read " + quoted (options.input) + " past "
                                       + juce::String ((double) pos / rate, 2) + " s: the file is damaged");

        before.add (buffer, n);
        plot.addInput (buffer, n, pos);
        meter.add (buffer, n, plot);

        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), numChannels, n);
        processor->processBlock (block, midi);

        after.add (block, n);
        plot.addOutput (block, n, pos);
        written = written && writer->writeFromAudioSampleBuffer (block, 0, n);

        if (clips)
            for (int ch = 0; ch < numChannels; ++ch)
                for (int i = 0; i < n; ++i)
                    summary.clippedSamples += std::abs (block.getSample (ch, i)) > 1.0f ? 1 : 0;

        if (! written)
            return juce::Result::fail ("writing " + quoted (options.output) + " failed (is the disk full?)");

        if (progress != nullptr && ! progress ((double) (pos + n) / (double) length))
            return juce::Result::fail ("interrupted; nothing was written");
    }

    writer.reset(); // completes the file's header

    // A header that failed to go out would leave a file that reads short.
    if (std::unique_ptr<juce::AudioFormatReader> check (formats.createReaderFor (audioFile.file()));
        check == nullptr || check->lengthInSamples != length)
        return juce::Result::fail ("writing " + quoted (options.output) + " failed (is the disk full?)");

    meter.flush (plot);
    processor->releaseResources();
    meterProcessor->releaseResources();

    summary.peakReductionDb = meter.peakDb();
    summary.meanReductionDb = meter.meanDb();
    summary.bandBeforeDb = before.bandDb();
    summary.bandAfterDb = after.bandDb();
    summary.belowBeforeDb = before.belowDb();
    summary.belowAfterDb = after.belowDb();
    summary.speed =
        summary.seconds / juce::jmax (1e-6, (juce::Time::getMillisecondCounterHiRes() - startTime) / 1000.0);

    std::vector<std::unique_ptr<PendingFile>> extras;

    if (options.plotFile != juce::File())
    {
        const auto title =
            summary.inputName + "  |  "
            + summary.settingsText ({ Param::threshold, Param::amount, Param::frequency, Param::focus, Param::range });
        const auto image = plot.draw (title, value (Param::range));

        extras.push_back (std::make_unique<PendingFile> (options.plotFile));
        juce::FileOutputStream out (extras.back()->file());
        if (! out.openedOk() || ! juce::PNGImageFormat().writeImageToStream (image, out)
            || (out.flush(), out.getStatus().failed()))
            return juce::Result::fail ("cannot write the plot " + quoted (options.plotFile));
    }

    if (options.jsonFile != juce::File())
    {
        extras.push_back (std::make_unique<PendingFile> (options.jsonFile));
        if (! extras.back()->file().replaceWithText (summary.toJson()))
            return juce::Result::fail ("cannot write the JSON summary " + quoted (options.jsonFile));
    }

    if (auto result = audioFile.commit(); result.failed())
        return result;

    for (auto& f : extras)
        if (auto result = f->commit(); result.failed())
            return result;

    return juce::Result::ok();
}
