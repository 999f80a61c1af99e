The bottom of every page, included by the runtime with $app in scope.
<!--##session footer##-->
<!--##include common.php/phpopen##-->
/** @var Tarnwick\App $app */
?>
</main>
</div>
<footer class="tw-foot"><?= $app::e($app->config['app']['title']) ?></footer>
</body>
</html>
<!--##/session##-->
